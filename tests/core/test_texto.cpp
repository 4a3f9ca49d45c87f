// The code pages: Latin-1 to and from a device, Windows-1252 in the log and
// the configuration file.
#include "core/texto.h"

#include <gtest/gtest.h>

#include <string>

namespace tvx {
namespace {

TEST(Texto, PaginasDeCodigo) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(Utf8ParaLatin1(Latin1ParaUtf8(bytes)), bytes);
    EXPECT_EQ(Utf8ParaCp1252(Cp1252ParaUtf8(bytes)), bytes);
    EXPECT_EQ(Latin1ParaUtf8("Programa\xE7\xE3o \xE9"), "Programação é");
    // 0x80 to 0x9F: typographic characters in Windows-1252, C1 controls in Latin-1.
    const std::string cp1252 =
        "\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D"
        "\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153"
        "\u009D\u017E\u0178";
    EXPECT_EQ(Cp1252ParaUtf8(bytes.substr(0x80, 32)), cp1252);
    EXPECT_EQ(Latin1ParaUtf8("\x80\x9F"), "\xC2\x80\xC2\x9F");
    // Characters without a byte become '?'.
    EXPECT_EQ(Utf8ParaLatin1("10 \u20AC a\u4E2Db \U0001F600"), "10 ? a?b ?");
    EXPECT_EQ(Utf8ParaCp1252("a\u4E2Db \U0001F600 \u0080\u0099 \u0081\u009D"), "a?b ? ?? \x81\x9D");
}

TEST(Texto, Utf8QuebradoViraInterrogacaoSemPerderOQueVemDepois) {
    const std::pair<std::string, std::string> casos[] = {
        {"\x80", "?"},                          // continuation without a lead
        {"a\xC3(", "a?("},                      // lead followed by a plain byte
        {"\xC0\xAF", "??"},                     // overlong '/'
        {"\xE0\x80\xAF", "???"},                // overlong three-byte
        {"\xED\xA0\x80", "???"},                // surrogate
        {"\xF4\x90\x80\x80", "????"},           // above U+10FFFF
        {"\xF5\x80", "??"},                     // never a lead byte
        {std::string("\xE2\x82") + "A", "?A"},  // cut short, then text
        {"x\xF0\x9F\x98", "x?"},                // cut short at the end
    };
    for (const auto& [entrada, saida] : casos) {
        EXPECT_EQ(Utf8ParaLatin1(entrada), saida) << testing::PrintToString(entrada);
        EXPECT_EQ(Utf8ParaCp1252(entrada), saida) << testing::PrintToString(entrada);
    }
    // The view ends inside the euro sign; the bytes after it must not be read.
    const std::string euro = "\xE2\x82\xAC";
    EXPECT_EQ(Utf8ParaCp1252(std::string_view(euro.data(), 2)), "?");
}

}  // namespace
}  // namespace tvx
