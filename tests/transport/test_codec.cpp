#include "transport/codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace tvx {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSentinela = 0xA5;

// A buffer with a guard zone after the usable capacity, so that a write past
// the capacity shows up as a changed guard byte.
struct BufferVigiado {
    explicit BufferVigiado(size_t capacidade, size_t guarda = 64)
        : capacidade(capacidade), dados(capacidade + guarda, kSentinela) {}
    uint8_t* ptr() { return dados.data(); }
    Bytes Inicio(size_t n) const { return Bytes(dados.begin(), dados.begin() + n); }
    bool GuardaIntacta() const {
        for (size_t i = capacidade; i < dados.size(); ++i) {
            if (dados[i] != kSentinela) {
                return false;
            }
        }
        return true;
    }
    bool TudoZero() const {
        for (size_t i = 0; i < capacidade; ++i) {
            if (dados[i] != 0) {
                return false;
            }
        }
        return true;
    }
    size_t capacidade;
    Bytes dados;
};

TEST(CodecCrc, ValoresDeConferenciaDoCatalogo) {
    const Bytes digitos = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    uint16_t crc = 0;
    Crc16Cms(crc, digitos.data(), digitos.size());
    EXPECT_EQ(crc, 0xAEE7);
    crc = 0;
    Crc16Modbus(crc, digitos.data(), digitos.size());
    EXPECT_EQ(crc, 0x4B37);
    // No bytes leaves the initial value.
    Crc16Cms(crc, digitos.data(), 0);
    EXPECT_EQ(crc, 0xFFFF);
    crc = 0;
    Crc16Modbus(crc, nullptr, 0);
    EXPECT_EQ(crc, 0xFFFF);
}

TEST(CodecQuadroSimples, ComandoSubcomandoECarga) {
    BufferVigiado b(16);
    const Bytes carga = {0xC0, 0xA8, 0x00};
    EXPECT_EQ(MontarQuadroSimples(b.ptr(), 16, 0x4C, 0x16, 3, carga.data()), 5);
    EXPECT_EQ(b.Inicio(16), (Bytes{0x4C, 0x16, 0xC0, 0xA8, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(b.GuardaIntacta());

    // Without a payload (or without a pointer to it) the frame is the two bytes.
    BufferVigiado c(8);
    EXPECT_EQ(MontarQuadroSimples(c.ptr(), 8, 0x52, 0x01, 0, nullptr), 2);
    EXPECT_EQ(MontarQuadroSimples(c.ptr(), 8, 0x52, 0x01, 4, nullptr), 2);
    EXPECT_EQ(c.Inicio(8), (Bytes{0x52, 0x01, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(c.GuardaIntacta());
}

TEST(CodecQuadroSimples, LimitesDaCapacidade) {
    const Bytes carga = {1, 2, 3};
    BufferVigiado exato(5);
    EXPECT_EQ(MontarQuadroSimples(exato.ptr(), 5, 0x4C, 0x16, 3, carga.data()), 5);
    EXPECT_EQ(exato.Inicio(5), (Bytes{0x4C, 0x16, 1, 2, 3}));
    EXPECT_TRUE(exato.GuardaIntacta());

    // One byte short: refused, never a frame with the payload left out.
    BufferVigiado curto(4);
    EXPECT_EQ(MontarQuadroSimples(curto.ptr(), 4, 0x4C, 0x16, 3, carga.data()), -1);
    EXPECT_TRUE(curto.TudoZero());
    EXPECT_TRUE(curto.GuardaIntacta());

    // Only the low 16 bits of the capacity count.
    BufferVigiado alto(5);
    EXPECT_EQ(MontarQuadroSimples(alto.ptr(), 0x10005, 0x4C, 0x16, 3, carga.data()), 5);
    EXPECT_TRUE(alto.GuardaIntacta());
    BufferVigiado nada(0);
    EXPECT_EQ(MontarQuadroSimples(nada.ptr(), 0x10000, 0x4C, 0x16, 0, nullptr), -1);
    EXPECT_TRUE(nada.GuardaIntacta());
    BufferVigiado um(1);
    EXPECT_EQ(MontarQuadroSimples(um.ptr(), 1, 0x4C, 0x16, 0, nullptr), -1);
    EXPECT_TRUE(um.GuardaIntacta());
}

TEST(CodecQuadroSimples, ComprimentoNegativoVoltaSemEscrever) {
    BufferVigiado b(8, 0);
    EXPECT_EQ(MontarQuadroSimples(b.ptr(), 8, 0x4C, 0x16, -7, nullptr), -7);
    EXPECT_EQ(MontarQuadroSimples(b.ptr(), 8, 0x4C, 0x16, -32768, nullptr), -32768);
    // Too negative for 16 bits: it must stay negative, not wrap to a length.
    EXPECT_EQ(MontarQuadroSimples(b.ptr(), 8, 0x4C, 0x16, -65536, nullptr), -1);
    EXPECT_EQ(b.dados, Bytes(8, kSentinela));
}

TEST(CodecQuadroSimples, ComprimentoQueNaoCabeEm16Bits) {
    std::vector<uint8_t> destino(0xFFFF), carga(32766, 0x55);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32765, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroSimples(destino.data(), 0xFFFF, 1, 2, 32766, carga.data()), -1);
}

TEST(CodecQuadroDle, SemCarga) {
    BufferVigiado b(32);
    EXPECT_EQ(MontarQuadroDle(b.ptr(), 32, 0x01, 0x4C, 0x16, 0, nullptr), 9);
    EXPECT_EQ(b.Inicio(12), (Bytes{0x10, 0x02, 0x01, 0x4C, 0x16, 0x10, 0x03, 0xA8, 0x54, 0, 0, 0}));
    EXPECT_TRUE(b.GuardaIntacta());
}

TEST(CodecQuadroDle, DleDobradoEntraNoCrc) {
    BufferVigiado endereco(32);
    EXPECT_EQ(MontarQuadroDle(endereco.ptr(), 32, 0x10, 0x4C, 0x16, 0, nullptr), 10);
    EXPECT_EQ(endereco.Inicio(10),
              (Bytes{0x10, 0x02, 0x10, 0x10, 0x4C, 0x16, 0x10, 0x03, 0x16, 0x28}));

    BufferVigiado carga(32);
    const uint8_t dle = 0x10;
    EXPECT_EQ(MontarQuadroDle(carga.ptr(), 32, 0x01, 0x4C, 0x16, 1, &dle), 11);
    EXPECT_EQ(carga.Inicio(11),
              (Bytes{0x10, 0x02, 0x01, 0x4C, 0x16, 0x10, 0x10, 0x10, 0x03, 0x90, 0x84}));

    // Command and subcommand are doubled as well.
    BufferVigiado todos(32);
    EXPECT_EQ(MontarQuadroDle(todos.ptr(), 32, 0x10, 0x10, 0x10, 1, &dle), 14);
    EXPECT_EQ(todos.Inicio(12),
              (Bytes{0x10, 0x02, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x03}));
    uint16_t crc = 0;
    Crc16Cms(crc, todos.ptr(), 12);
    EXPECT_EQ(todos.dados[12], crc >> 8);
    EXPECT_EQ(todos.dados[13], crc & 0xFF);
}

TEST(CodecQuadroDle, LimitesDaCapacidade) {
    const uint8_t byte = 0xAB;
    const Bytes esperado = {0x10, 0x02, 0x01, 0x4C, 0x16, 0xAB, 0x10, 0x03, 0x34, 0xA6};

    BufferVigiado exato(10);
    EXPECT_EQ(MontarQuadroDle(exato.ptr(), 10, 0x01, 0x4C, 0x16, 1, &byte), 10);
    EXPECT_EQ(exato.Inicio(10), esperado);
    EXPECT_TRUE(exato.GuardaIntacta());

    // The payload fits but the closing DLE ETX and CRC do not.
    BufferVigiado curto(9);
    EXPECT_EQ(MontarQuadroDle(curto.ptr(), 9, 0x01, 0x4C, 0x16, 1, &byte), -1);
    EXPECT_TRUE(curto.TudoZero());
    EXPECT_TRUE(curto.GuardaIntacta());

    BufferVigiado semCarga(8);
    EXPECT_EQ(MontarQuadroDle(semCarga.ptr(), 8, 0x01, 0x4C, 0x16, 0, nullptr), -1);
    EXPECT_TRUE(semCarga.GuardaIntacta());

    // The payload is given room for every byte doubled.
    const Bytes cinco = {1, 2, 3, 4, 5};
    BufferVigiado folga(15);
    EXPECT_EQ(MontarQuadroDle(folga.ptr(), 15, 0x01, 0x4C, 0x16, 5, cinco.data()), 14);
    BufferVigiado apertado(14);
    EXPECT_EQ(MontarQuadroDle(apertado.ptr(), 14, 0x01, 0x4C, 0x16, 5, cinco.data()), -1);
    EXPECT_TRUE(apertado.GuardaIntacta());

    // A payload at least as long as the capacity is refused, not dropped.
    const Bytes longa(20, 0x22);
    BufferVigiado pequeno(16);
    EXPECT_EQ(MontarQuadroDle(pequeno.ptr(), 16, 0x01, 0x4C, 0x16, 20, longa.data()), -1);
    EXPECT_TRUE(pequeno.GuardaIntacta());

    // Only the low 16 bits of the capacity count, for the zero fill too.
    BufferVigiado alto(10);
    EXPECT_EQ(MontarQuadroDle(alto.ptr(), 0x1000A, 0x01, 0x4C, 0x16, 1, &byte), 10);
    EXPECT_EQ(alto.Inicio(10), esperado);
    EXPECT_TRUE(alto.GuardaIntacta());
    BufferVigiado zero(0);
    EXPECT_EQ(MontarQuadroDle(zero.ptr(), 0x10000, 0x01, 0x4C, 0x16, 0, nullptr), -1);
    EXPECT_TRUE(zero.GuardaIntacta());

    // An address, command and subcommand that all double need room too.
    for (uint32_t cap = 0; cap < 12; ++cap) {
        BufferVigiado b(cap);
        EXPECT_EQ(MontarQuadroDle(b.ptr(), cap, 0x10, 0x10, 0x10, 0, nullptr), -1) << cap;
        EXPECT_TRUE(b.GuardaIntacta()) << cap;
    }
    BufferVigiado doze(12);
    EXPECT_EQ(MontarQuadroDle(doze.ptr(), 12, 0x10, 0x10, 0x10, 0, nullptr), 12);
    EXPECT_TRUE(doze.GuardaIntacta());
}

TEST(CodecQuadroDle, ComprimentoNegativoEFrameLongoDemais) {
    BufferVigiado b(8, 0);
    EXPECT_EQ(MontarQuadroDle(b.ptr(), 8, 1, 0x4C, 0x16, -3, nullptr), -3);
    EXPECT_EQ(MontarQuadroDle(b.ptr(), 8, 1, 0x4C, 0x16, -100000, nullptr), -1);
    EXPECT_EQ(b.dados, Bytes(8, kSentinela));

    // A frame longer than a 16-bit signed length would read as negative.
    std::vector<uint8_t> destino(0xFFFF), carga(32760, 0x55);
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32758, carga.data()), 32767);
    EXPECT_EQ(MontarQuadroDle(destino.data(), 0xFFFF, 1, 2, 3, 32759, carga.data()), -1);
}

TEST(CodecInserirDle, DobraERecusa) {
    const Bytes origem = {0x01, 0x10, 0x02, 0x10};
    BufferVigiado b(8);
    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), 4, 8), 6);
    EXPECT_EQ(b.Inicio(6), (Bytes{0x01, 0x10, 0x10, 0x02, 0x10, 0x10}));
    EXPECT_TRUE(b.GuardaIntacta());

    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), 4, 7), -1);
    EXPECT_EQ(InserirDle(nullptr, b.ptr(), 4, 8), -1);
    EXPECT_EQ(InserirDle(origem.data(), nullptr, 4, 8), -1);
    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), 0, 8), -1);
    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), 4, 0), -1);
    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), -4, 8), -1);
    EXPECT_EQ(InserirDle(origem.data(), b.ptr(), 0x40000001, 0x7FFFFFFF), -1);
}

TEST(CodecEncapsularTcp, CabecalhoDeUmQuadroDe70Bytes) {
    Bytes quadro(70);
    for (size_t i = 0; i < quadro.size(); ++i) {
        quadro[i] = static_cast<uint8_t>(i + 1);
    }
    BufferVigiado b(82);
    EXPECT_EQ(EncapsularTcp(b.ptr(), 82, quadro.data(), 70, 0x01, 0x00), 82);
    EXPECT_EQ(b.Inicio(12),
              (Bytes{0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0xFF, 0x00, 0x46}));
    EXPECT_EQ(Bytes(b.dados.begin() + 12, b.dados.begin() + 82), quadro);
    EXPECT_TRUE(b.GuardaIntacta());

    // The flag byte and the address land in bytes 4 and 8.
    BufferVigiado f(13);
    EXPECT_EQ(EncapsularTcp(f.ptr(), 13, quadro.data(), 1, 0x22, 0x7E), 13);
    EXPECT_EQ(f.Inicio(13), (Bytes{0x00, 0x00, 0x03, 0x00, 0x7E, 0x00, 0x00, 0x05, 0x22, 0xFF, 0x00,
                                   0x01, 0x01}));
}

TEST(CodecEncapsularTcp, ForaDaFaixaSoOCabecalho) {
    Bytes origem(2048, 0x33);
    BufferVigiado b(2048);
    EXPECT_EQ(EncapsularTcp(b.ptr(), 2048, origem.data(), 1280, 0x07, 0x00), 12);
    EXPECT_EQ(b.Inicio(13), (Bytes{0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x07, 0x00, 0x00,
                                   0x05, kSentinela}));

    // The largest length in range travels big-endian.
    EXPECT_EQ(EncapsularTcp(b.ptr(), 2048, origem.data(), 1279, 0x07, 0x00), 1291);
    EXPECT_EQ(b.dados[9], 0xFF);
    EXPECT_EQ(b.dados[10], 0x04);
    EXPECT_EQ(b.dados[11], 0xFF);

    // Zero and negative lengths: the low 16 bits low byte first, source unread.
    BufferVigiado z(12);
    EXPECT_EQ(EncapsularTcp(z.ptr(), 12, nullptr, 0, 0x01, 0x00), 12);
    EXPECT_EQ(z.Inicio(12), (Bytes{0, 0, 3, 0, 0, 0, 0, 5, 1, 0, 0, 0}));
    EXPECT_EQ(EncapsularTcp(z.ptr(), 12, nullptr, -1, 0x01, 0x00), 12);
    EXPECT_EQ(z.Inicio(12), (Bytes{0, 0, 3, 0, 0, 0, 0, 5, 1, 0, 0xFF, 0xFF}));
    EXPECT_EQ(EncapsularTcp(z.ptr(), 12, nullptr, 0x12345, 0x01, 0x00), 12);
    EXPECT_EQ(z.dados[10], 0x45);
    EXPECT_EQ(z.dados[11], 0x23);
    EXPECT_TRUE(z.GuardaIntacta());
}

TEST(CodecEncapsularTcp, CapacidadeInsuficiente) {
    const Bytes quadro(20, 0x44);
    BufferVigiado b(31);
    EXPECT_EQ(EncapsularTcp(b.ptr(), 31, quadro.data(), 20, 0x01, 0x00), -1);
    EXPECT_EQ(b.dados, Bytes(31 + 64, kSentinela));
    BufferVigiado exato(32);
    EXPECT_EQ(EncapsularTcp(exato.ptr(), 32, quadro.data(), 20, 0x01, 0x00), 32);
    EXPECT_TRUE(exato.GuardaIntacta());

    // Even the bare header needs its twelve bytes.
    BufferVigiado pequeno(11);
    EXPECT_EQ(EncapsularTcp(pequeno.ptr(), 11, quadro.data(), 0, 0x01, 0x00), -1);
    EXPECT_EQ(EncapsularTcp(pequeno.ptr(), -5, quadro.data(), 20, 0x01, 0x00), -1);
    EXPECT_EQ(pequeno.dados, Bytes(11 + 64, kSentinela));
}

TEST(CodecEncapsularTcp, NoProprioBuffer) {
    // As the channel does it: DLE frame built, then wrapped where it stands.
    uint8_t tx[2048];
    const int16_t n = MontarQuadroDle(tx, sizeof tx, 0x01, 0x4C, 0x16, 0, nullptr);
    ASSERT_EQ(n, 9);
    EXPECT_EQ(EncapsularTcp(tx, sizeof tx, tx, n, 0x01, 0x00), 21);
    EXPECT_EQ(Bytes(tx, tx + 21),
              (Bytes{0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0xFF, 0x00,
                     0x09, 0x10, 0x02, 0x01, 0x4C, 0x16, 0x10, 0x03, 0xA8, 0x54}));

    // A failed DLE build becomes the header-only form.
    const Bytes longa(1500, 0x10);
    const int16_t falha = MontarQuadroDle(tx, sizeof tx, 0x01, 0x4C, 0x16, 1500, longa.data());
    ASSERT_EQ(falha, -1);
    EXPECT_EQ(EncapsularTcp(tx, sizeof tx, tx, falha, 0x01, 0x00), 12);
    EXPECT_EQ(Bytes(tx, tx + 12), (Bytes{0, 0, 3, 0, 0, 0, 0, 5, 1, 0, 0xFF, 0xFF}));
}

TEST(CodecModbus, LeituraEscritaEModbusTcp) {
    BufferVigiado leitura(8);
    EXPECT_EQ(MontarLeituraModbus(leitura.ptr(), 0x01, 1024, 14), 8);
    EXPECT_EQ(leitura.Inicio(8), (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x0E, 0xC5, 0x3E}));
    EXPECT_TRUE(leitura.GuardaIntacta());

    const Bytes ip = {0xC0, 0xA8, 0x00, 0x65};
    BufferVigiado escrita(13);
    EXPECT_EQ(MontarEscritaModbus(escrita.ptr(), 0x01, 1280, 2, 4, ip.data()), 13);
    EXPECT_EQ(escrita.Inicio(13), (Bytes{0x01, 0x10, 0x05, 0x00, 0x00, 0x02, 0x04, 0xC0, 0xA8, 0x00,
                                         0x65, 0xB1, 0x34}));
    EXPECT_TRUE(escrita.GuardaIntacta());

    const Bytes valor = {0x00, 0x1E};
    BufferVigiado umRegistro(11);
    EXPECT_EQ(MontarEscritaModbus(umRegistro.ptr(), 0x01, 1283, 1, 2, valor.data()), 11);
    EXPECT_EQ(umRegistro.Inicio(11),
              (Bytes{0x01, 0x10, 0x05, 0x03, 0x00, 0x01, 0x02, 0x00, 0x1E, 0x73, 0x6B}));

    BufferVigiado tcp(12);
    EXPECT_EQ(RtuParaTcp(tcp.ptr(), leitura.ptr(), 8), 12);
    EXPECT_EQ(tcp.Inicio(12),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x04, 0x00, 0x00, 0x0E}));
    EXPECT_TRUE(tcp.GuardaIntacta());

    BufferVigiado tcpEscrita(17);
    EXPECT_EQ(RtuParaTcp(tcpEscrita.ptr(), escrita.ptr(), 13), 17);
    EXPECT_EQ(tcpEscrita.Inicio(17), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x10, 0x05,
                                            0x00, 0x00, 0x02, 0x04, 0xC0, 0xA8, 0x00, 0x65}));

    BufferVigiado nada(8, 0);
    EXPECT_EQ(RtuParaTcp(nada.ptr(), leitura.ptr(), 2), -1);
    EXPECT_EQ(nada.dados, Bytes(8, kSentinela));
}

// Only a reply to the request passes: a cut, foreign or exception reply to
// a write must not count as written.
TEST(CodecModbus, RespostaModbusTcpAceita) {
    const Bytes escrita{0, 0, 0, 0, 0, 0x0B, 0x01, 0x10, 0x05, 0x02, 0x00, 0x02, 0x04, 1, 2, 3, 4};
    const Bytes leitura{0, 0, 0, 0, 0, 0x06, 0x01, 0x03, 0x05, 0x00, 0x00, 0x04};
    const auto aceita = [](const Bytes& pedido, const Bytes& resposta) {
        return RespostaModbusTcpAceita(pedido.data(), resposta.data(),
                                       static_cast<int>(resposta.size()));
    };
    const Bytes escritaFeita{0, 0, 0, 0, 0, 0x06, 0x01, 0x10, 0x05, 0x02, 0x00, 0x02};
    EXPECT_TRUE(aceita(escrita, escritaFeita));
    EXPECT_FALSE(aceita(escrita, Bytes(escritaFeita.begin(), escritaFeita.end() - 1)));
    EXPECT_FALSE(aceita(escrita, Bytes(escritaFeita.begin(), escritaFeita.begin() + 4)));
    EXPECT_FALSE(aceita(escrita, {0, 0, 0, 0, 0, 0x03, 0x01, 0x90, 0x02}));  // exception
    EXPECT_FALSE(aceita(escrita, Bytes(12, 0xA5)));
    EXPECT_FALSE(aceita(escrita, {0, 0, 0, 0, 0, 0x06, 0x01, 0x03, 0x05, 0x02, 0x00, 0x02}));
    EXPECT_TRUE(aceita(leitura, {0, 0, 0, 0, 0, 0x03, 0x01, 0x03, 0x00}));
    EXPECT_FALSE(aceita(leitura, {0, 0, 0, 0, 0, 0x03, 0x01, 0x03}));
    EXPECT_FALSE(aceita(leitura, {0, 0, 0, 0, 0, 0x03, 0x01, 0x83, 0x02}));
    EXPECT_FALSE(RespostaModbusTcpAceita(escrita.data(), nullptr, 12));
}

TEST(CodecModbus, TrocarBytes) {
    Bytes b = {0x34, 0x12, 0x78, 0x56, 0x9A};
    TrocarBytes(b.data(), 5);
    EXPECT_EQ(b, (Bytes{0x12, 0x34, 0x56, 0x78, 0x9A}));
    TrocarBytes(b.data(), 2);
    EXPECT_EQ(b, (Bytes{0x34, 0x12, 0x56, 0x78, 0x9A}));
    TrocarBytes(b.data(), 1);
    EXPECT_EQ(b, (Bytes{0x34, 0x12, 0x56, 0x78, 0x9A}));
}

// Feeds a reply byte by byte as the serial reader does.
struct Analise {
    int fimNoByte = 0;  // 1-based position of the byte that ended the check, 0 if none did
    uint8_t status = 0;
    uint16_t estado = 0;
    std::unique_ptr<uint8_t[]> resposta{new uint8_t[kTamanhoMinimoRespostaModbus]()};
};

Analise Analisar(const Bytes& requisicao, const Bytes& resposta) {
    Analise a;
    uint8_t contador = 0;
    for (size_t i = 0; i < resposta.size(); ++i) {
        const int r = AnalisarRespostaModbus(requisicao.data(), a.resposta.get(), a.estado,
                                             resposta[i], contador, a.status);
        if (r == kAnaliseFim) {
            a.fimNoByte = static_cast<int>(i) + 1;
            break;
        }
        EXPECT_EQ(r, kAnaliseProximoByte);
    }
    return a;
}

Bytes ComCrc(Bytes quadro) {
    uint16_t crc = 0;
    Crc16Modbus(crc, quadro.data(), quadro.size());
    quadro.push_back(static_cast<uint8_t>(crc & 0xFF));
    quadro.push_back(static_cast<uint8_t>(crc >> 8));
    return quadro;
}

const Bytes kLeitura = {0x01, 0x03, 0x04, 0x00, 0x00, 0x02, 0xC5, 0x3B};
const Bytes kEscrita1283 = {0x01, 0x10, 0x05, 0x03, 0x00, 0x01, 0x02, 0x00, 0x1E, 0x73, 0x6B};

TEST(CodecRespostaModbus, RespostasBoas) {
    const Bytes leitura = {0x01, 0x03, 0x04, 0xC0, 0xA8, 0x00, 0x65, 0x87, 0xF8};
    Analise a = Analisar(kLeitura, leitura);
    EXPECT_EQ(a.fimNoByte, 9);
    EXPECT_EQ(a.status, kModbusOk);
    EXPECT_EQ(Bytes(a.resposta.get(), a.resposta.get() + 9), leitura);

    const Bytes escrita = {0x01, 0x10, 0x05, 0x00, 0x00, 0x02, 0x41, 0x04};
    const Bytes requisicao = {0x01, 0x10, 0x05, 0x00, 0x00, 0x02, 0x04, 0xC0, 0xA8, 0x00, 0x65};
    Analise w = Analisar(requisicao, escrita);
    EXPECT_EQ(w.fimNoByte, 8);
    EXPECT_EQ(w.status, kModbusOk);
    EXPECT_EQ(Bytes(w.resposta.get(), w.resposta.get() + 8), escrita);

    // Function 4 reads have the same layout as function 3.
    const Bytes entrada = {0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x31, 0xCA};
    Analise f4 = Analisar(entrada, {0x01, 0x04, 0x02, 0x12, 0x34, 0xB4, 0x47});
    EXPECT_EQ(f4.fimNoByte, 7);
    EXPECT_EQ(f4.status, kModbusOk);

    // The largest byte count fills the reply up to offset 256.
    Bytes cheia = {0x01, 0x03, 252};
    for (int i = 0; i < 252; ++i) {
        cheia.push_back(static_cast<uint8_t>(i));
    }
    cheia = ComCrc(cheia);
    Analise c = Analisar(kLeitura, cheia);
    EXPECT_EQ(c.fimNoByte, 257);
    EXPECT_EQ(c.status, kModbusOk);
    EXPECT_EQ(Bytes(c.resposta.get(), c.resposta.get() + 257), cheia);
}

TEST(CodecRespostaModbus, FalhasNoPontoCerto) {
    Analise unidade = Analisar(kLeitura, {0x02, 0x03, 0x04, 0xC0, 0xA8, 0x00, 0x65, 0x87, 0xF8});
    EXPECT_EQ(unidade.fimNoByte, 1);
    EXPECT_EQ(unidade.status, kModbusUnidadeErrada);

    Analise excecao = Analisar(kLeitura, {0x01, 0x83, 0x02, 0xC0, 0xF1});
    EXPECT_EQ(excecao.fimNoByte, 2);
    EXPECT_EQ(excecao.status, kModbusFuncaoErrada);

    Analise contagem = Analisar(kLeitura, {0x01, 0x03, 253, 0x00});
    EXPECT_EQ(contagem.fimNoByte, 3);
    EXPECT_EQ(contagem.status, kModbusContagemExcessiva);

    Analise crc = Analisar(kLeitura, {0x01, 0x03, 0x04, 0xC0, 0xA8, 0x00, 0x65, 0x87, 0xF9});
    EXPECT_EQ(crc.fimNoByte, 9);
    EXPECT_EQ(crc.status, kModbusCrc);

    // A write reply for register 1282 to a request for 1283.
    Analise registro = Analisar(kEscrita1283, {0x01, 0x10, 0x05, 0x02, 0x00, 0x01, 0, 0});
    EXPECT_EQ(registro.fimNoByte, 4);
    EXPECT_EQ(registro.status, kModbusRegistroErrado);
    Analise registroAlto = Analisar(kEscrita1283, {0x01, 0x10, 0x04, 0x03, 0x00, 0x01, 0, 0});
    EXPECT_EQ(registroAlto.fimNoByte, 3);
    EXPECT_EQ(registroAlto.status, kModbusRegistroErrado);

    Analise crcEscrita = Analisar(kEscrita1283, {0x01, 0x10, 0x05, 0x03, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(crcEscrita.fimNoByte, 8);
    EXPECT_EQ(crcEscrita.status, kModbusCrc);
    Analise boaEscrita = Analisar(kEscrita1283, ComCrc({0x01, 0x10, 0x05, 0x03, 0x00, 0x01}));
    EXPECT_EQ(boaEscrita.fimNoByte, 8);
    EXPECT_EQ(boaEscrita.status, kModbusOk);

    // A function the checker cannot follow to its CRC is never a good reply.
    const Bytes simples = {0x01, 0x06, 0x05, 0x03, 0x00, 0x1E, 0x00, 0x00};
    Analise outra = Analisar(simples, {0x01, 0x06, 0x05, 0x03, 0x00, 0x1E, 0x00, 0x00});
    EXPECT_EQ(outra.fimNoByte, 2);
    EXPECT_EQ(outra.status, kModbusCrc);
}

TEST(CodecRespostaModbus, ContagemZeroEEstadoDesconhecido) {
    // No data bytes: the CRC follows the byte count at once.
    Analise zero = Analisar(kLeitura, {0x01, 0x03, 0x00, 0x20, 0xF0});
    EXPECT_EQ(zero.fimNoByte, 5);
    EXPECT_EQ(zero.status, kModbusOk);

    uint8_t resposta[kTamanhoMinimoRespostaModbus] = {};
    uint16_t estado = 99;
    uint8_t contador = 7, status = 0;
    EXPECT_EQ(AnalisarRespostaModbus(kLeitura.data(), resposta, estado, 0x01, contador, status),
              kAnaliseProximoByte);
    EXPECT_EQ(estado, 99);
    EXPECT_EQ(contador, 7);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Bytes(resposta, resposta + sizeof resposta), Bytes(sizeof resposta, 0));
}

TEST(CodecRespostaModbus, BytesAleatoriosNuncaPassamDoFimDaResposta) {
    // Heap buffers of exactly the minimum size, so a sanitizer run catches any
    // write past offset 257. Bounded: a fixed number of replies of bounded length.
    std::mt19937 gerador(20240611);
    std::uniform_int_distribution<int> byteAleatorio(0, 255);
    const Bytes requisicoes[] = {kLeitura, kEscrita1283, {0x01, 0x04, 0, 0, 0, 1, 0x31, 0xCA}};
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
