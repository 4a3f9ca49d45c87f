// The frame codec: CRC check values and the frame builders and reply checks
// byte for byte. The simulator builds and checks its frames with these same
// routines, so these vectors are their only independent check.
#include "transport/codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "support/par_tcp.h"

namespace tvx {
namespace {

using Bytes = std::vector<uint8_t>;
using Montar = std::function<int(uint8_t*)>;
using teste::Hex;
using teste::ParaHex;

TEST(Codec, CrcValoresDeConferencia) {
    const Bytes digitos = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    uint16_t crc = 0;
    Crc16Cms(crc, digitos.data(), digitos.size());
    EXPECT_EQ(crc, 0xAEE7);
    crc = 0;
    Crc16Modbus(crc, digitos.data(), digitos.size());
    EXPECT_EQ(crc, 0x4B37);
    Crc16Cms(crc, digitos.data(), 0);  // no bytes: the initial value
    EXPECT_EQ(crc, 0xFFFF);
    Crc16Modbus(crc, nullptr, 9);
    EXPECT_EQ(crc, 0xFFFF);
}

// Command 'L' 0x16 with the RTU given, into a buffer of capacity bytes.
Montar Simples(uint32_t capacidade, int32_t n, const uint8_t* dados) {
    return [=](uint8_t* d) { return MontarQuadroSimples(d, capacidade, 0x4C, 0x16, n, dados); };
}
Montar Dle(uint32_t capacidade, uint8_t rtu, int32_t n, const uint8_t* dados) {
    return [=](uint8_t* d) { return MontarQuadroDle(d, capacidade, rtu, 0x4C, 0x16, n, dados); };
}
Montar Tcp(int32_t capacidade, int32_t n, const uint8_t* dados, uint8_t rtu = 1, uint8_t flag = 0) {
    return [=](uint8_t* d) { return EncapsularTcp(d, capacidade, dados, n, rtu, flag); };
}

// Each builder into a buffer of the given capacity followed by a guard zone
// that must stay untouched.
TEST(Codec, MontagemDeQuadros) {
    const Bytes c3 = {0xC0, 0xA8, 0x00};
    const Bytes c5 = {1, 2, 3, 4, 5};
    const Bytes dle = {0x10};
    const Bytes ab = {0xAB};
    const Bytes longa(20, 0x22);
    const Bytes origem = {0x01, 0x10, 0x02, 0x10};
    Bytes q70(70);
    for (size_t i = 0; i < q70.size(); ++i) {
        q70[i] = static_cast<uint8_t>(i + 1);
    }
    const Bytes q2048(2048, 0x33);
    const Bytes ip = {0xC0, 0xA8, 0x00, 0x65};
    const Bytes valor = {0x00, 0x1E};
    const Bytes leitura = Hex("01 03 04 00 00 0E C5 3E");
    const Bytes escrita = Hex("01 10 05 00 00 02 04 C0 A8 00 65 B1 34");
    const std::string ab10 = "10 02 01 4C 16 AB 10 03 34 A6";
    const std::string a5 = ParaHex(Bytes(11, 0xA5));
    // "<result>: <the usable bytes>", a final '*' for "and more".
    // clang-format off
    const std::vector<std::tuple<std::string, size_t, Montar>> casos = {
        {"5: 4C 16 C0 A8 00 00 00 00", 8, Simples(8, 3, c3.data())},
        // Without a pointer to the payload, the two bytes.
        {"2: 4C 16 00 00", 4, Simples(4, 4, nullptr)},
        {"5: 4C 16 01 02 03", 5, Simples(5, 3, c5.data())},
        // One byte short: refused, never a frame with the payload left out.
        {"-1: 00 00 00 00", 4, Simples(4, 3, c5.data())},
        // Only the low 16 bits of the capacity count.
        {"5: 4C 16 01 02 03", 5, Simples(0x10005, 3, c5.data())},
        {"-1: ", 0, Simples(0x10000, 0, nullptr)},
        // A negative length comes back unwritten, unless 16 bits would wrap it.
        {"-7: ", 0, Simples(8, -7, nullptr)},
        {"-1: ", 0, Simples(8, -65536, nullptr)},
        {"9: 10 02 01 4C 16 10 03 A8 54 00 00 00", 12, Dle(12, 0x01, 0, nullptr)},
        // DLE bytes are doubled, and the CRC covers the doubled frame.
        {"10: 10 02 10 10 4C 16 10 03 16 28 *", 16, Dle(16, 0x10, 0, nullptr)},
        {"11: 10 02 01 4C 16 10 10 10 03 90 84 *", 16, Dle(16, 0x01, 1, dle.data())},
        {"10: " + ab10, 10, Dle(10, 0x01, 1, ab.data())},
        // The payload fits but the closing DLE ETX and CRC do not.
        {"-1: 00 00 00 00 00 00 00 00 00", 9, Dle(9, 0x01, 1, ab.data())},
        // The payload is given room for every byte doubled.
        {"14: 10 02 01 4C 16 01 02 03 04 05 10 03 *", 15, Dle(15, 0x01, 5, c5.data())},
        {"-1: *", 14, Dle(14, 0x01, 5, c5.data())},
        // A payload at least as long as the capacity is refused, not dropped.
        {"-1: *", 16, Dle(16, 0x01, 20, longa.data())},
        {"10: " + ab10, 10, Dle(0x1000A, 0x01, 1, ab.data())},
        {"-1: ", 0, Dle(0x10000, 0x01, 0, nullptr)},
        // An address, command and subcommand that all double need room too.
        {"-1: *", 11, [](uint8_t* d) { return MontarQuadroDle(d, 11, 0x10, 0x10, 0x10, 0, nullptr); }},
        {"12: 10 02 10 10 10 10 10 10 10 03 *", 12,
         [](uint8_t* d) { return MontarQuadroDle(d, 12, 0x10, 0x10, 0x10, 0, nullptr); }},
        {"-3: ", 0, Dle(8, 0x01, -3, nullptr)},
        {"-1: ", 0, Dle(8, 0x01, -100000, nullptr)},
        {"6: 01 10 10 02 10 10 *", 8, [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 8); }},
        {"-1: *", 7, [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 7); }},
        {"-1: ", 0, [&](uint8_t*) { return InserirDle(origem.data(), nullptr, 4, 8); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(nullptr, d, 4, 8); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 0); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, -4, 8); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, 0x40000001, 0x7FFFFFFF); }},
        // The TCP header: flag byte at 4, address at 8, length big-endian.
        {"82: 00 00 03 00 00 00 00 05 01 FF 00 46 " + ParaHex(q70), 82, Tcp(82, 70, q70.data())},
        {"13: 00 00 03 00 7E 00 00 05 22 FF 00 01 01", 13, Tcp(13, 1, q70.data(), 0x22, 0x7E)},
        {"-1: " + a5, 11, Tcp(11, 0, longa.data())},  // even the bare header needs twelve bytes
        {"-1: " + a5, 11, Tcp(-5, 20, longa.data())},
        {"-1: " + ParaHex(Bytes(31, 0xA5)), 31, Tcp(31, 20, longa.data())},
        // Out of range: the header only, with the low 16 bits low byte first.
        {"12: 00 00 03 00 00 00 00 05 07 00 00 05 A5", 13, Tcp(2048, 1280, q2048.data(), 7)},
        {"1291: 00 00 03 00 00 00 00 05 07 FF 04 FF *", 1291, Tcp(2048, 1279, q2048.data(), 7)},
        {"12: 00 00 03 00 00 00 00 05 01 00 FF FF", 12, Tcp(12, -1, nullptr)},
        {"12: 00 00 03 00 00 00 00 05 01 00 45 23", 12, Tcp(12, 0x12345, nullptr)},
        {"8: 01 03 04 00 00 0E C5 3E", 8, [](uint8_t* d) { return MontarLeituraModbus(d, 1, 1024, 14); }},
        {"13: 01 10 05 00 00 02 04 C0 A8 00 65 B1 34", 13,
         [&](uint8_t* d) { return MontarEscritaModbus(d, 0x01, 1280, 2, 4, ip.data()); }},
        {"11: 01 10 05 03 00 01 02 00 1E 73 6B", 11,
         [&](uint8_t* d) { return MontarEscritaModbus(d, 0x01, 1283, 1, 2, valor.data()); }},
        {"12: 00 00 00 00 00 06 01 03 04 00 00 0E", 12, [&](uint8_t* d) { return RtuParaTcp(d, leitura.data(), 8); }},
        {"17: 00 00 00 00 00 0B 01 10 05 00 00 02 04 C0 A8 00 65", 17,
         [&](uint8_t* d) { return RtuParaTcp(d, escrita.data(), 13); }},
        {"-1: ", 0, [&](uint8_t* d) { return RtuParaTcp(d, leitura.data(), 2); }},
    };
    // clang-format on
    for (const auto& [esperadoComResto, capacidade, montar] : casos) {
        Bytes b(capacidade + 64, 0xA5);
        const int r = montar(b.data());
        const std::string feito = std::to_string(r) + ": " + ParaHex(b.data(), capacidade);
        const bool prefixo = esperadoComResto.back() == '*';  // the rest is not checked
        const std::string esperado = esperadoComResto.substr(0, esperadoComResto.size() - prefixo);
        EXPECT_EQ(esperado, prefixo ? feito.substr(0, esperado.size()) : feito);
        EXPECT_EQ(ParaHex(Bytes(64, 0xA5)), ParaHex(b.data() + capacidade, 64)) << esperado;
    }
    // A frame longer than a 16-bit signed length would read as negative.
    Bytes destino(0xFFFF), carga(32766, 0x55);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32765, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32766, carga.data()), -1);
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32758, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32759, carga.data()), -1);
}

// Only a reply to the request passes: a cut, foreign or exception reply to
// a write must not count as written.
TEST(Codec, RespostaModbusTcpAceita) {
    const Bytes escrita = Hex("00 00 00 00 00 0B 01 10 05 02 00 02 04 01 02 03 04");
    const Bytes leitura = Hex("00 00 00 00 00 06 01 03 05 00 00 04");
    const std::tuple<const Bytes*, const char*, bool> casos[] = {
        {&escrita, "00 00 00 00 00 06 01 10 05 02 00 02", true},
        {&escrita, "00 00 00 00 00 06 01 10 05 02 00", false},
        {&escrita, "00 00 00 00 00 03 01 90 02", false},  // exception
        {&escrita, "00 00 00 00 00 06 01 03 05 02 00 02", false},
        {&leitura, "00 00 00 00 00 03 01 03 00", true},
        {&leitura, "00 00 00 00 00 03 01 03", false},
        {&leitura, "00 00 00 00 00 03 01 83 02", false},
    };
    for (const auto& [pedido, resposta, aceita] : casos) {
        const Bytes r = Hex(resposta);
        EXPECT_EQ(aceita,
                  RespostaModbusTcpAceita(pedido->data(), r.data(), static_cast<int>(r.size())))
            << resposta;
    }
    EXPECT_FALSE(RespostaModbusTcpAceita(escrita.data(), nullptr, 12));
}

// Feeds a reply byte by byte as the serial reader does: "<status> at <byte>"
// for the byte that ended the check (0 when none did), and what was kept.
std::string Analisar(const char* requisicao, const Bytes& resposta, Bytes* guardada = nullptr) {
    const Bytes req = Hex(requisicao);
    auto r = std::make_unique<uint8_t[]>(kTamanhoMinimoRespostaModbus);
    uint16_t estado = 0;
    uint8_t contador = 0, status = 0;
    for (size_t i = 0; i < resposta.size(); ++i) {
        if (AnalisarRespostaModbus(req.data(), r.get(), estado, resposta[i], contador, status) ==
            kAnaliseFim) {
            if (guardada) {
                *guardada = Bytes(r.get(), r.get() + i + 1);
            }
            return std::to_string(status) + " at " + std::to_string(i + 1);
        }
    }
    return "none";
}

TEST(Codec, AnaliseDaRespostaModbusByteAByte) {
    const char* kLeitura = "01 03 04 00 00 02 C5 3B";
    const char* kEscrita1283 = "01 10 05 03 00 01 02 00 1E 73 6B";
    const auto ok = std::to_string(kModbusOk);
    // clang-format off
    const std::tuple<const char*, const char*, std::string> casos[] = {
        {kLeitura, "01 03 04 C0 A8 00 65 87 F8", ok + " at 9"},
        {"01 10 05 00 00 02 04 C0 A8 00 65", "01 10 05 00 00 02 41 04", ok + " at 8"},
        {"01 04 00 00 00 01 31 CA", "01 04 02 12 34 B4 47", ok + " at 7"},  // function 4 as 3
        {kLeitura, "01 03 00 20 F0", ok + " at 5"},  // no data: the CRC follows at once
        {kLeitura, "02 03 04 C0 A8 00 65 87 F8", std::to_string(kModbusUnidadeErrada) + " at 1"},
        {kLeitura, "01 83 02 C0 F1", std::to_string(kModbusFuncaoErrada) + " at 2"},
        {kLeitura, "01 03 FD 00", std::to_string(kModbusContagemExcessiva) + " at 3"},
        {kLeitura, "01 03 04 C0 A8 00 65 87 F9", std::to_string(kModbusCrc) + " at 9"},
        // A write reply for register 1282, or 1027, to a request for 1283.
        {kEscrita1283, "01 10 05 02 00 01 00 00", std::to_string(kModbusRegistroErrado) + " at 4"},
        {kEscrita1283, "01 10 04 03 00 01 00 00", std::to_string(kModbusRegistroErrado) + " at 3"},
        {kEscrita1283, "01 10 05 03 00 01 00 00", std::to_string(kModbusCrc) + " at 8"},
        {kEscrita1283, "01 10 05 03 00 01 F1 05", ok + " at 8"},
        // A function the checker cannot follow to its CRC is never a good reply.
        {"01 06 05 03 00 1E 00 00", "01 06 05 03 00 1E 00 00", std::to_string(kModbusCrc) + " at 2"},
    };
    // clang-format on
    for (const auto& [requisicao, resposta, fim] : casos) {
        const Bytes r = Hex(resposta);
        Bytes guardada;
        EXPECT_EQ(fim, Analisar(requisicao, r, &guardada)) << resposta;
        if (fim == ok + " at " + std::to_string(r.size())) {
            EXPECT_EQ(ParaHex(r), ParaHex(guardada));
        }
    }
    // The largest byte count fills the reply up to offset 256; the CRC of
    // this reply of 252 zeros is 8E 4C.
    Bytes cheia = {0x01, 0x03, 252};
    cheia.resize(255, 0);
    cheia.insert(cheia.end(), {0x8E, 0x4C});
    EXPECT_EQ(ok + " at 257", Analisar(kLeitura, cheia));
    // An unknown state changes nothing; without a request or a place for the
    // reply there is nothing to check.
    uint16_t desconhecido = 99;
    uint8_t contador = 7, status = 0;
    EXPECT_EQ(AnalisarRespostaModbus(cheia.data(), cheia.data(), desconhecido, 1, contador, status),
              kAnaliseProximoByte);
    EXPECT_EQ(desconhecido + contador + status, 99 + 7);
    uint8_t resposta[kTamanhoMinimoRespostaModbus] = {};
    const Bytes req = Hex(kLeitura);
    for (const uint8_t* pedido : {req.data(), static_cast<const uint8_t*>(nullptr)}) {
        uint16_t estado = 0;
        uint8_t contador = 0, status = 0;
        EXPECT_EQ(AnalisarRespostaModbus(pedido, pedido ? nullptr : resposta, estado, 0x01,
                                         contador, status),
                  kAnaliseFim);
        EXPECT_EQ(status, kModbusCapacidade);
    }
}

}  // namespace
}  // namespace tvx
