#include "core/texto.h"

#include <gtest/gtest.h>

#include <string>

namespace tvx {
namespace {

std::string TodosOsBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

TEST(Texto, TodosOsBytesVoltamIguaisNasDuasPaginas) {
    const std::string bytes = TodosOsBytes();
    EXPECT_EQ(Utf8ParaLatin1(Latin1ParaUtf8(bytes)), bytes);
    EXPECT_EQ(Utf8ParaCp1252(Cp1252ParaUtf8(bytes)), bytes);
}

TEST(Texto, AcentosPortuguesesEmLatin1EWindows1252) {
    const std::string utf8 = "Programação Configuração é necessário";
    const std::string bytes = "Programa\xE7\xE3o Configura\xE7\xE3o \xE9 necess\xE1rio";
    EXPECT_EQ(Utf8ParaLatin1(utf8), bytes);
    EXPECT_EQ(Utf8ParaCp1252(utf8), bytes);
    EXPECT_EQ(Latin1ParaUtf8(bytes), utf8);
    EXPECT_EQ(Cp1252ParaUtf8(bytes), utf8);
}

TEST(Texto, Windows1252De0x80a0x9F) {
    struct Par {
        unsigned char byte;
        const char* utf8;
    };
    const Par tabela[] = {
        {0x80, "\u20AC"}, {0x81, "\u0081"}, {0x82, "\u201A"}, {0x83, "\u0192"}, {0x84, "\u201E"},
        {0x85, "\u2026"}, {0x86, "\u2020"}, {0x87, "\u2021"}, {0x88, "\u02C6"}, {0x89, "\u2030"},
        {0x8A, "\u0160"}, {0x8B, "\u2039"}, {0x8C, "\u0152"}, {0x8D, "\u008D"}, {0x8E, "\u017D"},
        {0x8F, "\u008F"}, {0x90, "\u0090"}, {0x91, "\u2018"}, {0x92, "\u2019"}, {0x93, "\u201C"},
        {0x94, "\u201D"}, {0x95, "\u2022"}, {0x96, "\u2013"}, {0x97, "\u2014"}, {0x98, "\u02DC"},
        {0x99, "\u2122"}, {0x9A, "\u0161"}, {0x9B, "\u203A"}, {0x9C, "\u0153"}, {0x9D, "\u009D"},
        {0x9E, "\u017E"}, {0x9F, "\u0178"},
    };
    for (const Par& p : tabela) {
        const std::string byte(1, static_cast<char>(p.byte));
        EXPECT_EQ(Cp1252ParaUtf8(byte), p.utf8) << static_cast<int>(p.byte);
        EXPECT_EQ(Utf8ParaCp1252(p.utf8), byte) << static_cast<int>(p.byte);
    }
}

TEST(Texto, Latin1De0x80a0x9FSaoOsControlesC1) {
    EXPECT_EQ(Latin1ParaUtf8("\x80\x9F"), "\xC2\x80\xC2\x9F");
    EXPECT_EQ(Utf8ParaLatin1("\xC2\x80\xC2\x9F"), "\x80\x9F");
    // The euro sign has no Latin-1 byte.
    EXPECT_EQ(Utf8ParaLatin1("10 \u20AC"), "10 ?");
}

TEST(Texto, CaracteresSemByteViramInterrogacao) {
    EXPECT_EQ(Utf8ParaLatin1("a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf8ParaCp1252("a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf8ParaCp1252("\U0001F600"), "?");
    EXPECT_EQ(Utf8ParaLatin1("\U0001F600"), "?");
    // C1 controls whose Windows-1252 byte is a typographic character.
    EXPECT_EQ(Utf8ParaCp1252("\u0080\u0099"), "??");
    EXPECT_EQ(Utf8ParaCp1252("\u0081\u009D"), "\x81\x9D");
}

TEST(Texto, Utf8QuebradoViraInterrogacaoSemPerderOQueVemDepois) {
    struct Caso {
        std::string entrada;
        std::string saida;
    };
    const Caso casos[] = {
        {"\x80", "?"},                 // continuation without a lead
        {"a\xC3(", "a?("},             // lead followed by a plain byte
        {"\xC0\xAF", "??"},            // overlong '/'
        {"\xC1\xBF", "??"},            // overlong
        {"\xE0\x80\xAF", "???"},       // overlong three-byte
        {"\xED\xA0\x80", "???"},       // surrogate
        {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
        {"\xF5\x80", "??"},            // never a lead byte
        {"\xFF\xFE", "??"},            // never a lead byte
        {"\xE2\x82"
         "A",
         "?A"},                     // cut short, then text
        {"x\xF0\x9F\x98", "x?"},    // cut short at the end
        {"\xC3\xA7\xC3", "\xE7?"},  // good character, then a cut one
    };
    for (const Caso& c : casos) {
        EXPECT_EQ(Utf8ParaLatin1(c.entrada), c.saida) << testing::PrintToString(c.entrada);
        EXPECT_EQ(Utf8ParaCp1252(c.entrada), c.saida) << testing::PrintToString(c.entrada);
    }
}

TEST(Texto, NuncaLeAlemDoFimDaVista) {
    // The view ends inside the euro sign; the bytes after it must not be read.
    const std::string euro = "\xE2\x82\xAC";
    EXPECT_EQ(Utf8ParaCp1252(std::string_view(euro.data(), 2)), "?");
    EXPECT_EQ(Utf8ParaLatin1(std::string_view(euro.data(), 1)), "?");
    EXPECT_EQ(Utf8ParaCp1252(std::string_view()), "");
}

}  // namespace
}  // namespace tvx
