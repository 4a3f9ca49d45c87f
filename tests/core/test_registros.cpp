// Texts and numbers going into the fixed records the equipment receives.
#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "core/registros.h"

namespace tvx {
namespace {

TEST(Registros, TextoLatin1CortadoEEnderecoNaOrdemDoTexto) {
    std::array<uint8_t, 8> campo;
    campo.fill(0xEE);
    GravarTextoNoCampo(campo.data(), campo.size(), "Açaí-Programação", 6);
    EXPECT_EQ((std::array<uint8_t, 8>{'A', 0xE7, 'a', 0xED, '-', 'P', 0, 0}), campo);
    EXPECT_EQ("Açaí-P", TextoDoCampo(campo.data(), campo.size()));
    // A zero inside a value read from a file must not smuggle the bytes after
    // it into the record's padding.
    GravarTextoNoCampo(campo.data(), campo.size(), std::string_view("a\0bcd", 5), 8);
    EXPECT_EQ((std::array<uint8_t, 8>{'a', 0, 0, 0, 0, 0, 0, 0}), campo);
    std::array<uint8_t, 6> r{};
    EscreverIpRegistro(r.data(), 1, 0x6500A8C0u);  // 192.168.0.101
    EXPECT_EQ((std::array<uint8_t, 6>{0, 0xC0, 0xA8, 0x00, 0x65, 0}), r);
    EXPECT_EQ(0x6500A8C0u, LerIpRegistro(r.data(), 1));
}

}  // namespace
}  // namespace tvx
