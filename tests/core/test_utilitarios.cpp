// Addresses, MACs and labelled values as the devices and the technician
// write them, and the clock bytes.
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
        // Above 255 is 255; an unsigned short would wrap 65536 to 0.
        {"65536.300.1.99999999999999999999", Bytes(255, 255, 1, 255)},
        {"abc", 0},
        {"10.x.3.4", Bytes(10, 0, 0, 0)},
        {"-1.2.3.4", 0},
        {" 192. 168.000.101", Bytes(192, 168, 0, 101)},
        {"+1.+2.3.4xyz", Bytes(1, 2, 3, 4)},
        {"192 .168.0.1", Bytes(192, 0, 0, 0)},
    };
    for (const auto& [texto, ip] : casos) {
        EXPECT_EQ(TextoParaIp(texto), ip) << texto;
    }
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "pt_BR.UTF-8");  // may not exist; C stays then
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), true), "192.168.0.101");
    EXPECT_EQ(IpParaTexto(Bytes(192, 168, 0, 101), false), "192.168.000.101");
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(Utilitarios, Mac) {
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x00, 0x01, 0xFF};
    EXPECT_EQ(MacParaTexto(mac), "00:1A:2B:00:01:FF");
    const std::pair<const char*, std::string> casos[] = {
        {"00-1a-2B:3c-4D-5e:77", "00:1A:2B:3C:4D:5E"},  // a seventh group is not read
        {"12:34:zz:56:78:9A", "12:34:00:00:00:00"},     // unreadable: zero from there on
        {"1:2:3", "01:02:03:00:00:00"},                 // "%2X" stops at the first non-digit
    };
    for (const auto& [texto, lido] : casos) {
        uint8_t bytes[7] = {9, 9, 9, 9, 9, 9, 9};
        EXPECT_TRUE(TextoParaMac(texto, bytes));
        EXPECT_EQ(MacParaTexto(bytes), lido) << texto;
        EXPECT_EQ(bytes[6], 9) << texto;
    }
    EXPECT_TRUE(MacValido("00-1a-2B:3c-4D-5e"));
    for (const char* ruim : {"00:1A:2B:3C:4D:5", "00:1A:2B:3C:4D:5E:", "00.1A.2B.3C.4D.5E",
                             "00:1A:2B:3C:4D:5G", "001:A2B:3C:4D:5E:F"}) {
        EXPECT_FALSE(MacValido(ruim)) << ruim;
    }
}

TEST(Utilitarios, TextoEntreMarcasEControles) {
    struct Caso {
        const char* texto;
        const char* inicio;
        size_t tamanho;
        size_t resultado;
        const char* valor;
    };
    const Caso casos[] = {
        {"IP: 10.0.0.5 \r\nMask:255.0.0.0\r\nGateway:10.0.0.1\r\n", "Gateway:", 16, 8, "10.0.0.1"},
        {"Mask:255.255.255.0", "Mask:", 16, 0, ""},  // no end label
        {"\rMask:1", "Mask:", 16, 0, ""},            // the end label only after the start
        {"A:123456789012345\r", "A:", 16, 15, "123456789012345"},  // fits with the terminator
        {"A:1234567890123456\r", "A:", 16, 0, ""},
        {"A:1\r", "A:", 1, 0, ""},
    };
    for (const Caso& c : casos) {
        std::string valor = "lixo";
        EXPECT_EQ(TextoEntreMarcas(c.texto, c.inicio, "\r", valor, c.tamanho), c.resultado)
            << c.texto;
        EXPECT_EQ(valor, c.valor) << c.texto;
    }
    std::string t = "\r\n\v\fa b\t ";
    EXPECT_EQ(Aparar(t), "a b");
    t = "\xA0y\xA0";
    EXPECT_EQ(Aparar(t), "\xA0y\xA0");

    uint8_t buffer[] = {'A', 0x01, 0x09, 0x0A, 0x0D, 0x1F, 0x00, 0x20, 0x7F, 0xE9, 0x02, 'Z'};
    LimparControle(buffer, sizeof buffer);
    const uint8_t esperado[] = {'A', ' ', 0x09, 0x0A, 0x0D, ' ', 0x00, 0x20, 0x7F, 0xE9, ' ', 0};
    EXPECT_EQ(0, std::memcmp(buffer, esperado, sizeof buffer));
    LimparControle(buffer, 0);  // no room even for the terminator
    EXPECT_EQ(buffer[0], 'A');
}

TEST(Utilitarios, Relogio) {
    uint8_t bytes[6] = {};
    RelogioSeisBytes(Relogio{5, 3, 2019, 14, 7, 9}, bytes);
    const uint8_t relogio[6] = {0x05, 0x03, 0x13, 0x0E, 0x07, 0x09};
    EXPECT_EQ(0, std::memcmp(bytes, relogio, 6));
    EXPECT_TRUE(RelogioSeisBytes(bytes));
    const Relogio agora = LerRelogio();
    EXPECT_GE(agora.ano, 2024);
    EXPECT_EQ(bytes[2], agora.ano % 100);
}

}  // namespace
}  // namespace tvx
