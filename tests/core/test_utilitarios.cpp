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

TEST(Utilitarios, TextoParaIpComoScanfEIpParaTexto) {
    const std::pair<const char*, uint32_t> casos[] = {
        {"192.168.0.101", Bytes(192, 168, 0, 101)},  // first number in the lowest byte
        {"300.1.2.3", Bytes(255, 1, 2, 3)},          // above 255 is 255, no wrap
        // An unsigned short would wrap 65536 to 0 and 65791 to 255 by chance.
        {"65536.65537.1.99999999999999999999", Bytes(255, 255, 1, 255)},
        {"", 0},
        {"abc", 0},
        {"10.20", Bytes(10, 20, 0, 0)},
        {"10.x.3.4", Bytes(10, 0, 0, 0)},
        {"10..3.4", Bytes(10, 0, 0, 0)},
        {"-1.2.3.4", 0},
        {"1.2.3.4.5", Bytes(1, 2, 3, 4)},
        {" 192. 168.000.101", Bytes(192, 168, 0, 101)},
        {"+1.+2.3.4", Bytes(1, 2, 3, 4)},
        {"192 .168.0.1", Bytes(192, 0, 0, 0)},
        {"1.2.3.4xyz", Bytes(1, 2, 3, 4)},
    };
    for (const auto& [texto, ip] : casos) {
        EXPECT_EQ(TextoParaIp(texto), ip) << texto;
    }
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "pt_BR.UTF-8");  // may not exist; C stays then
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), true), "192.168.0.101");
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), false), "192.168.000.101");
    EXPECT_EQ(IpParaTexto(0, false), "000.000.000.000");
    EXPECT_EQ(IpParaTexto(0xFFFFFFFFu, true), "255.255.255.255");
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(Utilitarios, Mac) {
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x00, 0x01, 0xFF};
    EXPECT_EQ(MacParaTexto(mac), "00:1A:2B:00:01:FF");
    const std::pair<const char*, std::string> casos[] = {
        {"00-1a-2B:3c-4D-5e", "00:1A:2B:3C:4D:5E"},
        {"12:34:zz:56:78:9A", "12:34:00:00:00:00"},  // unreadable: zero from there on
        {"", "00:00:00:00:00:00"},
        {"1:2:3", "01:02:03:00:00:00"},  // "%2X" stops at the first non-digit
    };
    for (const auto& [texto, lido] : casos) {
        uint8_t bytes[6] = {9, 9, 9, 9, 9, 9};
        EXPECT_TRUE(TextoParaMac(texto, bytes));
        EXPECT_EQ(MacParaTexto(bytes), lido) << texto;
    }
    EXPECT_TRUE(MacValido("00-1a-2B:3c-4D-5e"));
    EXPECT_TRUE(MacValido("FF:FF:FF:FF:FF:FF"));
    for (const char* ruim : {"00:1A:2B:3C:4D:5", "00:1A:2B:3C:4D:5E:", "00.1A.2B.3C.4D.5E",
                             "00:1A:2B:3C:4D:5G", "001:A2B:3C:4D:5E:F", ""}) {
        EXPECT_FALSE(MacValido(ruim)) << ruim;
    }
}

TEST(Utilitarios, TextoEntreMarcas) {
    struct Caso {
        const char* texto;
        const char* inicio;
        size_t tamanho;
        size_t resultado;
        const char* valor;
    };
    const Caso casos[] = {
        {"IP: 10.0.0.5 \r\nMask:255.0.0.0\r\nGateway:10.0.0.1\r\n", "Gateway:", 16, 8, "10.0.0.1"},
        {"IP: 10.0.0.5 \r\nMask:255.0.0.0\r\n", "IP:", 16, 10, " 10.0.0.5 "},
        {"Mask:255.255.255.0", "Mask:", 16, 0, ""},  // no end label
        {"IP:1.2.3.4\r", "Mask:", 16, 0, ""},
        {"Mask:\r\n", "Mask:", 16, 0, ""},  // empty value
        {"\rMask:1", "Mask:", 16, 0, ""},   // the end label only after the start
        {"A:123456789012345\r", "A:", 16, 15, "123456789012345"},  // fits with the terminator
        {"A:1234567890123456\r", "A:", 16, 0, ""},
        {"A:1\r", "A:", 1, 0, ""},
        {"A:1\r", "A:", 0, 0, ""},
        {"A:1\r", "A:", 2, 1, "1"},
    };
    for (const Caso& c : casos) {
        std::string valor = "lixo";
        EXPECT_EQ(TextoEntreMarcas(c.texto, c.inicio, "\r", valor, c.tamanho), c.resultado)
            << c.texto;
        EXPECT_EQ(valor, c.valor) << c.texto;
    }
    const std::pair<std::string, std::string> aparar[] = {
        {"  abc \t", "abc"}, {"     ", ""}, {"\r\n\v\fa b\r\n", "a b"}, {"\xA0y\xA0", "\xA0y\xA0"}};
    for (auto [texto, aparado] : aparar) {
        EXPECT_EQ(Aparar(texto), aparado);
    }
    std::string t = "  x  ";
    EXPECT_EQ(AparaEsquerda(t), "x  ");
    t = "  x  ";
    EXPECT_EQ(AparaDireita(t), "  x");
}

TEST(Utilitarios, LimparControleERelogio) {
    uint8_t buffer[] = {'A', 0x01, 0x09, 0x0A, 0x0D, 0x1F, 0x00, 0x20, 0x7F, 0xE9, 0x02, 'Z'};
    LimparControle(buffer, sizeof buffer);
    const uint8_t esperado[] = {'A', ' ', 0x09, 0x0A, 0x0D, ' ', 0x00, 0x20, 0x7F, 0xE9, ' ', 0};
    EXPECT_EQ(0, std::memcmp(buffer, esperado, sizeof buffer));
    uint8_t curto[2] = {0x01, 0x02};
    LimparControle(curto, 1);
    EXPECT_EQ(curto[0], 0);
    EXPECT_EQ(curto[1], 0x02);
    LimparControle(curto, 0);  // no room even for the terminator
    EXPECT_EQ(curto[1], 0x02);
    LimparControle(nullptr, 4);

    uint8_t bytes[6] = {};
    RelogioSeisBytes(Relogio{5, 3, 2019, 14, 7, 9}, bytes);
    const uint8_t relogio[6] = {0x05, 0x03, 0x13, 0x0E, 0x07, 0x09};
    EXPECT_EQ(0, std::memcmp(bytes, relogio, 6));
    EXPECT_EQ(AnoDoisDigitos(1999), 99);
    EXPECT_EQ(AnoDoisDigitos(2100), 0);
    EXPECT_TRUE(RelogioSeisBytes(bytes));
    const Relogio agora = LerRelogio();
    EXPECT_GE(agora.ano, 2024);
    EXPECT_EQ(bytes[2], agora.ano % 100);
    EXPECT_TRUE(bytes[1] >= 1 && bytes[1] <= 12 && bytes[0] >= 1 && bytes[0] <= 31);
}

}  // namespace
}  // namespace tvx
