#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "core/utilitarios.h"

namespace tvx {
namespace {

uint32_t Bytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
           static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
}

TEST(TextoParaIp, PrimeiroNumeroNoByteMaisBaixo) {
    EXPECT_EQ(TextoParaIp("10.0.0.1"), Bytes(10, 0, 0, 1));
    EXPECT_EQ(TextoParaIp("192.168.0.101"), Bytes(192, 168, 0, 101));
    const uint32_t ip = TextoParaIp("192.168.0.101");
    uint8_t memoria[4];
    std::memcpy(memoria, &ip, 4);
    // Little-endian host: the bytes in memory are in network order.
    EXPECT_EQ(memoria[0], 192);
    EXPECT_EQ(memoria[3], 101);
}

TEST(TextoParaIp, NumerosAcimaDe255ValemTudo255SemDarAVolta) {
    EXPECT_EQ(TextoParaIp("300.1.2.3"), Bytes(255, 1, 2, 3));
    EXPECT_EQ(TextoParaIp("256.256.256.256"), Bytes(255, 255, 255, 255));
    // An unsigned short would wrap 65536 to 0 and 65791 to 255 by chance.
    EXPECT_EQ(TextoParaIp("65536.65537.1.99999999999999999999"), Bytes(255, 255, 1, 255));
}

TEST(TextoParaIp, CamposQueFaltamFicamZero) {
    EXPECT_EQ(TextoParaIp(""), 0u);
    EXPECT_EQ(TextoParaIp("abc"), 0u);
    EXPECT_EQ(TextoParaIp("10.20"), Bytes(10, 20, 0, 0));
    EXPECT_EQ(TextoParaIp("10.x.3.4"), Bytes(10, 0, 0, 0));
    EXPECT_EQ(TextoParaIp("10..3.4"), Bytes(10, 0, 0, 0));
    EXPECT_EQ(TextoParaIp("-1.2.3.4"), 0u);
    EXPECT_EQ(TextoParaIp("1.2.3.4.5"), Bytes(1, 2, 3, 4));
}

TEST(TextoParaIp, ComoScanfAceitaEspacoAntesDoNumeroEZerosAEsquerda) {
    EXPECT_EQ(TextoParaIp(" 192. 168.000.101"), Bytes(192, 168, 0, 101));
    EXPECT_EQ(TextoParaIp("+1.+2.3.4"), Bytes(1, 2, 3, 4));
    EXPECT_EQ(TextoParaIp("192 .168.0.1"), Bytes(192, 0, 0, 0));
    EXPECT_EQ(TextoParaIp("1.2.3.4xyz"), Bytes(1, 2, 3, 4));
}

TEST(IpParaTexto, CompactoEPreenchidoComZeros) {
    const uint32_t ip = Bytes(192, 168, 0, 101);
    EXPECT_EQ(IpParaTexto(ip, true), "192.168.0.101");
    EXPECT_EQ(IpParaTexto(ip, false), "192.168.000.101");
    EXPECT_EQ(IpParaTexto(0, true), "0.0.0.0");
    EXPECT_EQ(IpParaTexto(0, false), "000.000.000.000");
    EXPECT_EQ(IpParaTexto(0xFFFFFFFFu, false), "255.255.255.255");
    EXPECT_EQ(TextoParaIp(IpParaTexto(Bytes(10, 7, 200, 9), false)), Bytes(10, 7, 200, 9));
}

TEST(IpParaTexto, NaoDependeDoLocaleDoProcesso) {
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "pt_BR.UTF-8");  // may not exist; C stays then
    EXPECT_EQ(IpParaTexto(Bytes(1, 22, 133, 4), true), "1.22.133.4");
    EXPECT_EQ(TextoParaIp("1.22.133.4"), Bytes(1, 22, 133, 4));
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(Mac, TextoEBytesIdaEVolta) {
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x00, 0x01, 0xFF};
    EXPECT_EQ(MacParaTexto(mac), "00:1A:2B:00:01:FF");
    uint8_t lido[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(TextoParaMac("00:1A:2B:00:01:FF", lido));
    EXPECT_EQ(0, std::memcmp(lido, mac, 6));
}

TEST(Mac, SeparadoresMisturadosEMinusculas) {
    uint8_t lido[6];
    EXPECT_TRUE(TextoParaMac("00-1a-2B:3c-4D-5e", lido));
    const uint8_t esperado[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(0, std::memcmp(lido, esperado, 6));
}

TEST(Mac, GruposIlegiveisDaoZeroDaliEmDiante) {
    uint8_t lido[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(TextoParaMac("12:34:zz:56:78:9A", lido));
    const uint8_t esperado[6] = {0x12, 0x34, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(lido, esperado, 6));

    EXPECT_TRUE(TextoParaMac("", lido));
    const uint8_t zeros[6] = {};
    EXPECT_EQ(0, std::memcmp(lido, zeros, 6));

    // One digit, then the separator: "%2X" stops at the first non-digit.
    EXPECT_TRUE(TextoParaMac("1:2:3", lido));
    const uint8_t curtos[6] = {1, 2, 3, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(lido, curtos, 6));
}

TEST(MacValido, AceitaSoDezessetCaracteresComSeparadoresNosLugares) {
    EXPECT_TRUE(MacValido("00-1a-2B:3c-4D-5e"));
    EXPECT_TRUE(MacValido("FF:FF:FF:FF:FF:FF"));
    EXPECT_FALSE(MacValido("00:1A:2B:3C:4D:5"));    // 16
    EXPECT_FALSE(MacValido("00:1A:2B:3C:4D:5E:"));  // 18
    EXPECT_FALSE(MacValido("00.1A.2B.3C.4D.5E"));   // point
    EXPECT_FALSE(MacValido("00:1A:2B:3C:4D:5G"));   // not hex
    EXPECT_FALSE(MacValido("001:A2B:3C:4D:5E:F"));  // separator misplaced
    EXPECT_FALSE(MacValido(""));
}

TEST(TextoEntreMarcas, ValorEntreOsRotulos) {
    std::string valor = "lixo";
    EXPECT_EQ(TextoEntreMarcas("Mask:255.255.255.0\r\n", "Mask:", "\r", valor, 16), 13u);
    EXPECT_EQ(valor, "255.255.255.0");

    const std::string resposta = "IP: 10.0.0.5 \r\nMask:255.0.0.0\r\nGateway:10.0.0.1\r\n";
    EXPECT_EQ(TextoEntreMarcas(resposta, "Gateway:", "\r", valor, 16), 8u);
    EXPECT_EQ(valor, "10.0.0.1");
    EXPECT_EQ(TextoEntreMarcas(resposta, "IP:", "\r", valor, 16), 10u);
    EXPECT_EQ(Aparar(valor), "10.0.0.5");
}

TEST(TextoEntreMarcas, FaltasDaoZeroEDestinoVazio) {
    std::string valor = "lixo";
    EXPECT_EQ(TextoEntreMarcas("Mask:255.255.255.0", "Mask:", "\r", valor, 16), 0u);
    EXPECT_EQ(valor, "");
    valor = "lixo";
    EXPECT_EQ(TextoEntreMarcas("IP:1.2.3.4\r", "Mask:", "\r", valor, 16), 0u);
    EXPECT_EQ(valor, "");
    EXPECT_EQ(TextoEntreMarcas("Mask:\r\n", "Mask:", "\r", valor, 16), 0u);  // empty value
    // The end label is looked for only after the start label.
    EXPECT_EQ(TextoEntreMarcas("\rMask:1", "Mask:", "\r", valor, 16), 0u);
}

TEST(TextoEntreMarcas, ValorPrecisaCaberComOTerminador) {
    std::string valor;
    // 15 characters fit a 16-byte field, 16 do not.
    EXPECT_EQ(TextoEntreMarcas("A:123456789012345\r", "A:", "\r", valor, 16), 15u);
    EXPECT_EQ(valor, "123456789012345");
    EXPECT_EQ(TextoEntreMarcas("A:1234567890123456\r", "A:", "\r", valor, 16), 0u);
    EXPECT_EQ(valor, "");
    EXPECT_EQ(TextoEntreMarcas("A:1\r", "A:", "\r", valor, 1), 0u);
    EXPECT_EQ(TextoEntreMarcas("A:1\r", "A:", "\r", valor, 0), 0u);
    EXPECT_EQ(TextoEntreMarcas("A:1\r", "A:", "\r", valor, 2), 1u);
}

TEST(Aparar, EspacosDosDoisLados) {
    std::string t = "  abc \t";
    EXPECT_EQ(Aparar(t), "abc");
    t = "     ";
    EXPECT_EQ(Aparar(t), "");
    t = "";
    EXPECT_EQ(Aparar(t), "");
    t = "\r\n\v\fa b\r\n";
    EXPECT_EQ(Aparar(t), "a b");
    t = "  x  ";
    EXPECT_EQ(AparaEsquerda(t), "x  ");
    t = "  x  ";
    EXPECT_EQ(AparaDireita(t), "  x");
    // Latin-1 0xA0 (no-break space) is not white space in the C locale.
    t = "\xA0y\xA0";
    EXPECT_EQ(Aparar(t), "\xA0y\xA0");
}

TEST(LimparControle, TrocaControlesPorEspacoEPoeTerminador) {
    uint8_t buffer[] = {'A', 0x01, 0x09, 0x0A, 0x0D, 0x1F, 0x00, 0x20, 0x7F, 0xE9, 0x02, 'Z'};
    LimparControle(buffer, sizeof buffer);
    const uint8_t esperado[] = {'A', ' ', 0x09, 0x0A, 0x0D, ' ', 0x00, 0x20, 0x7F, 0xE9, ' ', 0};
    EXPECT_EQ(0, std::memcmp(buffer, esperado, sizeof buffer));
}

TEST(LimparControle, TamanhosPequenos) {
    uint8_t buffer[3] = {0x01, 0x02, 0x03};
    LimparControle(buffer, 1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0x02);  // untouched

    uint8_t intacto[2] = {0x05, 0x06};
    LimparControle(intacto, 0);  // no room even for the terminator
    EXPECT_EQ(intacto[0], 0x05);
    EXPECT_EQ(intacto[1], 0x06);
    LimparControle(nullptr, 4);
}

TEST(Relogio, SeisBytesDoRelogioDoEquipamento) {
    Relogio r;
    r.dia = 5;
    r.mes = 3;
    r.ano = 2019;
    r.hora = 14;
    r.minuto = 7;
    r.segundo = 9;
    uint8_t bytes[6] = {};
    RelogioSeisBytes(r, bytes);
    const uint8_t esperado[6] = {0x05, 0x03, 0x13, 0x0E, 0x07, 0x09};
    EXPECT_EQ(0, std::memcmp(bytes, esperado, 6));
    EXPECT_EQ(AnoDoisDigitos(2000), 0);
    EXPECT_EQ(AnoDoisDigitos(1999), 99);
    EXPECT_EQ(AnoDoisDigitos(2100), 0);
}

TEST(Relogio, LeOHorarioLocal) {
    uint8_t bytes[6] = {};
    EXPECT_TRUE(RelogioSeisBytes(bytes));
    const Relogio agora = LerRelogio();
    EXPECT_GE(agora.ano, 2024);
    EXPECT_EQ(bytes[2], agora.ano % 100);
    EXPECT_TRUE(bytes[1] >= 1 && bytes[1] <= 12 && bytes[0] >= 1 && bytes[0] <= 31);
}

}  // namespace
}  // namespace tvx
