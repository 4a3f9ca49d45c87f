// The frame codec: CRC check values and the frame builders and reply checks
// byte for byte. The simulator builds and checks its frames with these same
// routines, so these vectors are their only independent check.
#include "transport/codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "support/par_tcp.h"

namespace tvx {
namespace {

using Bytes = std::vector<uint8_t>;
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
    crc = 0;
    Crc16Modbus(crc, nullptr, 0);
    EXPECT_EQ(crc, 0xFFFF);
}

struct Montagem {
    std::string esperado;  // "<result>: <the usable bytes>", a final '*' for "and more"
    size_t capacidade;
    std::function<int(uint8_t*)> montar;
};

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
    // clang-format off
    const std::vector<Montagem> casos = {
        {"5: 4C 16 C0 A8 00 00 00 00", 8,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 8, 0x4C, 0x16, 3, c3.data()); }},
        // Without a payload, or without a pointer to it, the two bytes.
        {"2: 52 01 00 00", 4,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 4, 0x52, 0x01, 4, nullptr); }},
        {"5: 4C 16 01 02 03", 5,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 5, 0x4C, 0x16, 3, c5.data()); }},
        // One byte short: refused, never a frame with the payload left out.
        {"-1: 00 00 00 00", 4,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 4, 0x4C, 0x16, 3, c5.data()); }},
        // Only the low 16 bits of the capacity count.
        {"5: 4C 16 01 02 03", 5,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 0x10005, 0x4C, 0x16, 3, c5.data()); }},
        {"-1: ", 0,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 0x10000, 0x4C, 0x16, 0, nullptr); }},
        {"-1: 00", 1,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 1, 0x4C, 0x16, 0, nullptr); }},
        // A negative length comes back unwritten, unless 16 bits would wrap it.
        {"-7: ", 0, [&](uint8_t* d) { return MontarQuadroSimples(d, 8, 0x4C, 0x16, -7, nullptr); }},
        {"-32768: ", 0,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 8, 0x4C, 0x16, -32768, nullptr); }},
        {"-1: ", 0,
         [&](uint8_t* d) { return MontarQuadroSimples(d, 8, 0x4C, 0x16, -65536, nullptr); }},
        {"9: 10 02 01 4C 16 10 03 A8 54 00 00 00", 12,
         [&](uint8_t* d) { return MontarQuadroDle(d, 12, 0x01, 0x4C, 0x16, 0, nullptr); }},
        // DLE bytes are doubled, and the CRC covers the doubled frame.
        {"10: 10 02 10 10 4C 16 10 03 16 28 *", 16,
         [&](uint8_t* d) { return MontarQuadroDle(d, 16, 0x10, 0x4C, 0x16, 0, nullptr); }},
        {"11: 10 02 01 4C 16 10 10 10 03 90 84 *", 16,
         [&](uint8_t* d) { return MontarQuadroDle(d, 16, 0x01, 0x4C, 0x16, 1, dle.data()); }},
        {"14: 10 02 10 10 10 10 10 10 10 10 10 03 *", 16,
         [&](uint8_t* d) { return MontarQuadroDle(d, 16, 0x10, 0x10, 0x10, 1, dle.data()); }},
        {"10: " + ab10, 10,
         [&](uint8_t* d) { return MontarQuadroDle(d, 10, 0x01, 0x4C, 0x16, 1, ab.data()); }},
        // The payload fits but the closing DLE ETX and CRC do not.
        {"-1: 00 00 00 00 00 00 00 00 00", 9,
         [&](uint8_t* d) { return MontarQuadroDle(d, 9, 0x01, 0x4C, 0x16, 1, ab.data()); }},
        {"-1: *", 8,
         [&](uint8_t* d) { return MontarQuadroDle(d, 8, 0x01, 0x4C, 0x16, 0, nullptr); }},
        // The payload is given room for every byte doubled.
        {"14: 10 02 01 4C 16 01 02 03 04 05 10 03 *", 15,
         [&](uint8_t* d) { return MontarQuadroDle(d, 15, 0x01, 0x4C, 0x16, 5, c5.data()); }},
        {"-1: *", 14,
         [&](uint8_t* d) { return MontarQuadroDle(d, 14, 0x01, 0x4C, 0x16, 5, c5.data()); }},
        // A payload at least as long as the capacity is refused, not dropped.
        {"-1: *", 16,
         [&](uint8_t* d) { return MontarQuadroDle(d, 16, 0x01, 0x4C, 0x16, 20, longa.data()); }},
        {"10: " + ab10, 10,
         [&](uint8_t* d) { return MontarQuadroDle(d, 0x1000A, 0x01, 0x4C, 0x16, 1, ab.data()); }},
        {"-1: ", 0,
         [&](uint8_t* d) { return MontarQuadroDle(d, 0x10000, 0x01, 0x4C, 0x16, 0, nullptr); }},
        // An address, command and subcommand that all double need room too.
        {"-1: *", 11,
         [&](uint8_t* d) { return MontarQuadroDle(d, 11, 0x10, 0x10, 0x10, 0, nullptr); }},
        {"12: 10 02 10 10 10 10 10 10 10 03 *", 12,
         [&](uint8_t* d) { return MontarQuadroDle(d, 12, 0x10, 0x10, 0x10, 0, nullptr); }},
        {"-3: ", 0, [&](uint8_t* d) { return MontarQuadroDle(d, 8, 1, 0x4C, 0x16, -3, nullptr); }},
        {"-1: ", 0,
         [&](uint8_t* d) { return MontarQuadroDle(d, 8, 1, 0x4C, 0x16, -100000, nullptr); }},
        {"6: 01 10 10 02 10 10 *", 8,
         [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 8); }},
        {"-1: *", 7, [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 7); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(nullptr, d, 4, 8); }},
        {"-1: ", 0, [&](uint8_t*) { return InserirDle(origem.data(), nullptr, 4, 8); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, 0, 8); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, 4, 0); }},
        {"-1: ", 0, [&](uint8_t* d) { return InserirDle(origem.data(), d, -4, 8); }},
        {"-1: ", 0,
         [&](uint8_t* d) { return InserirDle(origem.data(), d, 0x40000001, 0x7FFFFFFF); }},
        // The TCP header: flag byte at 4, address at 8, length big-endian.
        {"82: 00 00 03 00 00 00 00 05 01 FF 00 46 " + ParaHex(q70), 82,
         [&](uint8_t* d) { return EncapsularTcp(d, 82, q70.data(), 70, 0x01, 0x00); }},
        {"13: 00 00 03 00 7E 00 00 05 22 FF 00 01 01", 13,
         [&](uint8_t* d) { return EncapsularTcp(d, 13, q70.data(), 1, 0x22, 0x7E); }},
        {"-1: " + ParaHex(Bytes(31, 0xA5)), 31,
         [&](uint8_t* d) { return EncapsularTcp(d, 31, longa.data(), 20, 0x01, 0x00); }},
        {"32: 00 00 03 00 00 00 00 05 01 FF 00 14 " + ParaHex(longa), 32,
         [&](uint8_t* d) { return EncapsularTcp(d, 32, longa.data(), 20, 0x01, 0x00); }},
        // Even the bare header needs its twelve bytes.
        {"-1: " + ParaHex(Bytes(11, 0xA5)), 11,
         [&](uint8_t* d) { return EncapsularTcp(d, 11, longa.data(), 0, 0x01, 0x00); }},
        {"-1: " + ParaHex(Bytes(11, 0xA5)), 11,
         [&](uint8_t* d) { return EncapsularTcp(d, -5, longa.data(), 20, 0x01, 0x00); }},
        // Out of range: the header only, with the low 16 bits low byte first.
        {"12: 00 00 03 00 00 00 00 05 07 00 00 05 A5", 13,
         [&](uint8_t* d) { return EncapsularTcp(d, 2048, q2048.data(), 1280, 0x07, 0x00); }},
        {"1291: 00 00 03 00 00 00 00 05 07 FF 04 FF *", 1291,
         [&](uint8_t* d) { return EncapsularTcp(d, 2048, q2048.data(), 1279, 0x07, 0x00); }},
        {"12: 00 00 03 00 00 00 00 05 01 00 00 00", 12,
         [&](uint8_t* d) { return EncapsularTcp(d, 12, nullptr, 0, 0x01, 0x00); }},
        {"12: 00 00 03 00 00 00 00 05 01 00 FF FF", 12,
         [&](uint8_t* d) { return EncapsularTcp(d, 12, nullptr, -1, 0x01, 0x00); }},
        {"12: 00 00 03 00 00 00 00 05 01 00 45 23", 12,
         [&](uint8_t* d) { return EncapsularTcp(d, 12, nullptr, 0x12345, 0x01, 0x00); }},
        {"8: 01 03 04 00 00 0E C5 3E", 8,
         [&](uint8_t* d) { return MontarLeituraModbus(d, 0x01, 1024, 14); }},
        {"13: 01 10 05 00 00 02 04 C0 A8 00 65 B1 34", 13,
         [&](uint8_t* d) { return MontarEscritaModbus(d, 0x01, 1280, 2, 4, ip.data()); }},
        {"11: 01 10 05 03 00 01 02 00 1E 73 6B", 11,
         [&](uint8_t* d) { return MontarEscritaModbus(d, 0x01, 1283, 1, 2, valor.data()); }},
        {"12: 00 00 00 00 00 06 01 03 04 00 00 0E", 12,
         [&](uint8_t* d) { return RtuParaTcp(d, leitura.data(), 8); }},
        {"17: 00 00 00 00 00 0B 01 10 05 00 00 02 04 C0 A8 00 65", 17,
         [&](uint8_t* d) { return RtuParaTcp(d, escrita.data(), 13); }},
        {"-1: ", 0, [&](uint8_t* d) { return RtuParaTcp(d, leitura.data(), 2); }},
    };
    // clang-format on
    for (const Montagem& m : casos) {
        Bytes b(m.capacidade + 64, 0xA5);
        const int r = m.montar(b.data());
        const std::string feito = std::to_string(r) + ": " + ParaHex(b.data(), m.capacidade);
        const bool prefixo = m.esperado.back() == '*';  // the rest is not checked
        const std::string esperado = m.esperado.substr(0, m.esperado.size() - prefixo);
        EXPECT_EQ(esperado, prefixo ? feito.substr(0, esperado.size()) : feito);
        EXPECT_EQ(ParaHex(Bytes(64, 0xA5)), ParaHex(b.data() + m.capacidade, 64)) << m.esperado;
    }
}

TEST(Codec, ComprimentosQueNaoCabemEm16Bits) {
    Bytes destino(0xFFFF), carga(32766, 0x55);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32765, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32766, carga.data()), -1);
    // A frame longer than a 16-bit signed length would read as negative.
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32758, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32759, carga.data()), -1);

    // As the channel does it: DLE frame built, then wrapped where it stands;
    // a failed build becomes the header-only form.
    uint8_t tx[2048];
    const int16_t n = MontarQuadroDle(tx, sizeof tx, 0x01, 0x4C, 0x16, 0, nullptr);
    EXPECT_EQ(EncapsularTcp(tx, sizeof tx, tx, n, 0x01, 0x00), 21);
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 FF 00 09 10 02 01 4C 16 10 03 A8 54", ParaHex(tx, 21));
    const Bytes longa(1500, 0x10);
    const int16_t falha = MontarQuadroDle(tx, sizeof tx, 0x01, 0x4C, 0x16, 1500, longa.data());
    ASSERT_EQ(falha, -1);
    EXPECT_EQ(EncapsularTcp(tx, sizeof tx, tx, falha, 0x01, 0x00), 12);
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 00 FF FF", ParaHex(tx, 12));

    Bytes b = {0x34, 0x12, 0x78, 0x56, 0x9A};
    TrocarBytes(b.data(), 5);
    EXPECT_EQ("12 34 56 78 9A", ParaHex(b));
    TrocarBytes(b.data(), 2);
    TrocarBytes(b.data(), 1);
    EXPECT_EQ("34 12 56 78 9A", ParaHex(b));
}

// Only a reply to the request passes: a cut, foreign or exception reply to
// a write must not count as written.
TEST(Codec, RespostaModbusTcpAceita) {
    const Bytes escrita = Hex("00 00 00 00 00 0B 01 10 05 02 00 02 04 01 02 03 04");
    const Bytes leitura = Hex("00 00 00 00 00 06 01 03 05 00 00 04");
    const std::tuple<const Bytes*, const char*, bool> casos[] = {
        {&escrita, "00 00 00 00 00 06 01 10 05 02 00 02", true},
        {&escrita, "00 00 00 00 00 06 01 10 05 02 00", false},
        {&escrita, "00 00 00 00", false},
        {&escrita, "00 00 00 00 00 03 01 90 02", false},  // exception
        {&escrita, "A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5 A5", false},
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

// The CRC of a frame appended, low byte first; the routine is checked against
// its check values above.
Bytes ComCrc(Bytes quadro) {
    uint16_t crc = 0;
    Crc16Modbus(crc, quadro.data(), quadro.size());
    quadro.push_back(static_cast<uint8_t>(crc & 0xFF));
    quadro.push_back(static_cast<uint8_t>(crc >> 8));
    return quadro;
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
        {kEscrita1283, "01 10 05 03 00 01 +", ok + " at 8"},
        // A function the checker cannot follow to its CRC is never a good reply.
        {"01 06 05 03 00 1E 00 00", "01 06 05 03 00 1E 00 00", std::to_string(kModbusCrc) + " at 2"},
    };
    // clang-format on
    for (const auto& [requisicao, resposta, fim] : casos) {
        // A final '+' stands for the reply's CRC.
        const Bytes r = std::string(resposta).back() == '+' ? ComCrc(Hex(resposta)) : Hex(resposta);
        Bytes guardada;
        EXPECT_EQ(fim, Analisar(requisicao, r, &guardada)) << resposta;
        if (fim == ok + " at " + std::to_string(r.size())) {
            EXPECT_EQ(ParaHex(r), ParaHex(guardada));
        }
    }
    // The largest byte count fills the reply up to offset 256.
    Bytes cheia = {0x01, 0x03, 252};
    for (int i = 0; i < 252; ++i) {
        cheia.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(ok + " at 257", Analisar(kLeitura, ComCrc(cheia)));

    uint8_t resposta[kTamanhoMinimoRespostaModbus] = {};
    uint16_t estado = 99;  // unknown: nothing changes
    uint8_t contador = 7, status = 0;
    const Bytes req = Hex(kLeitura);
    EXPECT_EQ(AnalisarRespostaModbus(req.data(), resposta, estado, 0x01, contador, status),
              kAnaliseProximoByte);
    EXPECT_EQ(estado, 99);
    EXPECT_EQ(contador, 7);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ParaHex(Bytes(sizeof resposta, 0)), ParaHex(resposta, sizeof resposta));
    // Without a request or a place for the reply there is nothing to check.
    for (const uint8_t* pedido : {req.data(), static_cast<const uint8_t*>(nullptr)}) {
        estado = 0;
        EXPECT_EQ(AnalisarRespostaModbus(pedido, pedido ? nullptr : resposta, estado, 0x01,
                                         contador, status),
                  kAnaliseFim);
        EXPECT_EQ(status, kModbusCapacidade);
    }
}

TEST(Codec, BytesAleatoriosNuncaPassamDoFimDaResposta) {
    // Heap buffers of exactly the minimum size, so a sanitizer run catches any
    // write past offset 257. Bounded: a fixed number of replies of bounded length.
    std::mt19937 gerador(20240611);
    std::uniform_int_distribution<int> byteAleatorio(0, 255);
    const Bytes requisicoes[] = {Hex("01 03 04 00 00 02 C5 3B"),
                                 Hex("01 10 05 03 00 01 02 00 1E 73 6B"),
                                 Hex("01 04 00 00 00 01 31 CA")};
    for (int rodada = 0; rodada < 3000; ++rodada) {
        const Bytes& req = requisicoes[rodada % 3];
        auto resposta = std::make_unique<uint8_t[]>(kTamanhoMinimoRespostaModbus);
        uint16_t estado = 0;
        uint8_t contador = 0, status = 0;
        int fim = kAnaliseProximoByte;
        for (int i = 0; i < 600 && fim == kAnaliseProximoByte; ++i) {
            // Mostly matching headers, so the data and CRC states get exercised.
            uint8_t b = static_cast<uint8_t>(byteAleatorio(gerador));
            if (i < 2 && byteAleatorio(gerador) < 230) {
                b = req[i];
            }
            fim = AnalisarRespostaModbus(req.data(), resposta.get(), estado, b, contador, status);
        }
        EXPECT_EQ(fim, kAnaliseFim);
    }
}

}  // namespace
}  // namespace tvx
