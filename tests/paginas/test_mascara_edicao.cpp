// The masked text box of the parameters grid: the text put through a mask,
// and every edit a technician makes in the box, checked by the text and caret
// the box is given back.
#include <gtest/gtest.h>

#include <string>

#include "paginas/mascara_edicao.h"

namespace tvx {
namespace {

using Tecla = MascaraEdicao::Tecla;

TEST(MascaraEdicao, TextoPelaMascara) {
    const struct {
        const char* mascara;
        const char* texto;
        const char* resultado;
    } casos[] = {
        {"##:##", "1a2:34", "12:34"},
        {"##:##", "1:2", "12:__"},
        {"##:##", "123456", "12:34"},
        // An empty position holds its place: reopening the box on a text it
        // showed must not move what follows the hole.
        {"##:##", "_2:34", "_2:34"},
        {"02:B4:6D:**:**:**", "1A2B3C", "02:B4:6D:1A:2B:3C"},
        {"$$$", "a 5\t", " 5\t"},
        {"??", "1aB", "aB"},
        {"??", "éa", "a_"},  // letters are the ASCII ones
        {"XX-XX", "0fG1A", "0f-1A"},
        {"**", "-z9", "z9"},
        {"Nº ##", "Nº 42", "Nº 42"},
        {"", "1a2:34", "1a2:34"},  // no mask: as is
    };
    for (const auto& c : casos) {
        MascaraEdicao m;
        m.DefinirMascara(std::string_view(c.mascara));
        EXPECT_EQ(m.DefinirTexto(std::string_view(c.texto)), c.resultado)
            << c.mascara << " / " << c.texto;
    }
    MascaraEdicao outro;
    outro.DefinirMascara("##:##", U'*');
    EXPECT_EQ(outro.DisplayUtf8(), "**:**");
    EXPECT_EQ(outro.DefinirTexto(std::string_view("_2:3")), "23:**");
}

// One key in the box as a line edit hands it over: the text after the key
// (typed: inserted at the caret; Backspace: the character before it gone;
// Delete: the one after it gone) and the caret after it.
TEST(MascaraEdicao, CadaTeclaNaCaixa) {
    struct Caso {
        const char* mascara;
        const char* antes;
        char32_t tecla;  // '\b' Backspace, 0x7F Delete
        int cursor;
        const char* depois;
        int cursorDepois;
    };
    const Caso casos[] = {
        {"02:B4:6D:**:**:**", "", U'a', 0, "02:B4:6D:a_:__:__", 10},  // first input position
        {"02:B4:6D:**:**:**", "02:B4:6D:a_", U'!', 10, "02:B4:6D:a_:__:__", 10},  // refused
        {"02:B4:6D:**:**:**", "02:B4:6D:a9", U':', 11, "02:B4:6D:a9:__:__",
         12},  // over the literal
        {"02:B4:6D:**:**:**", "02:B4:6D:a9", U'F', 3, "02:B4:6D:F9:__:__", 10},
        // Backspace in or just after the prefix: nothing before takes input.
        {"02:B4:6D:**:**:**", "02:B4:6D:F9", U'\b', 10, "02:B4:6D:_9:__:__", 0},
        {"##:##", "12:34", U'\b', 5, "12:3_", 4},
        {"##:##", "12:3", U'\b', 4, "12:__", 2},  // back over the literal
        {"02:B4:6D:**:**:**", "02:B4:6D:_9", U'\b', 4, "02:B4:6D:_9:__:__", 0},
        {"##:##", "__:34", 0x7F, 2, "__:34", 3},
        {"##:##", "12:34", U'\b', 3, "12:34", 2},  // on the literal: it comes back
        {"##:##", "12:34", 0x7F, 0, "_2:34", 1},
        {"##:##", "_2:34", 0x7F, 1, "__:34", 3},  // on to the input position past the literal
        {"##:##", "__:34", 0x7F, 4, "__:3_", 5},  // no input position follows: the end
        {"##:##", "12:34", U'9', 0, "92:34", 1},
        {"##:##", "98:34", U'7', 2, "98:74", 4},  // typed on the literal
        {"##:##", "98:76", U'5', 5, "98:76", 5},  // past the end
        {"Nº ##", "", U'7', 0, "Nº 7_", 4},       // carets count characters, not bytes
        {"Nº ##", "Nº 7", U'é', 4, "Nº 7_", 4},
    };
    for (const Caso& c : casos) {
        MascaraEdicao m;
        m.DefinirMascara(std::string_view(c.mascara));
        m.DefinirTexto(std::string_view(c.antes));
        std::u32string campo = m.Display();
        const auto posicao = static_cast<size_t>(c.cursor);
        Tecla tecla = Tecla::Outra;
        int cursor = c.cursor;
        if (c.tecla == U'\b') {
            campo.erase(posicao - 1, 1);
            tecla = Tecla::Backspace;
            --cursor;
        } else if (c.tecla == 0x7F) {
            campo.erase(posicao, 1);
            tecla = Tecla::Delete;
        } else {
            campo.insert(posicao, 1, c.tecla);
            ++cursor;
        }
        const auto r = m.AoEditar(campo, cursor, tecla);
        EXPECT_EQ(U32ParaUtf8(r.texto), c.depois) << c.mascara << " " << c.antes;
        EXPECT_EQ(r.cursor, c.cursorDepois) << c.mascara << " " << c.antes;
    }
    // At the start or the end the box itself does not change the text; the
    // key recorded by the key-press handler counts.
    MascaraEdicao m;
    m.DefinirMascara("###");
    m.DefinirTexto(std::string_view("123"));
    EXPECT_FALSE(m.AoEditar(m.Display(), 0, Tecla::Backspace).alterado);
    EXPECT_FALSE(m.AoEditar(m.Display(), 3, Tecla::Delete).alterado);
    m.AoPressionarTecla(Tecla::Delete);
    EXPECT_EQ(m.AoEditar(U"13", 1).texto, U"1_3");
    EXPECT_EQ(m.AoEditar(std::string_view("1é3"), 1, Tecla::Outra).texto, "1_3");
}

TEST(MascaraEdicao, Utf8NasBordas) {
    EXPECT_EQ(Utf8ParaU32("aé€😀"), U"aé€😀");
    EXPECT_EQ(U32ParaUtf8(U"aé€😀"), "aé€😀");
    // A lone continuation byte, a cut sequence, an overlong form, a surrogate.
    EXPECT_EQ(Utf8ParaU32("\x80"), U"\uFFFD");
    EXPECT_EQ(Utf8ParaU32("a\xC3"), U"a\uFFFD");
    EXPECT_EQ(Utf8ParaU32("\xC0\xAF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ParaU32("\xED\xA0\x80z"), U"\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(U32ParaUtf8(std::u32string{0xD800, 0x110000}), "\uFFFD\uFFFD");
}

}  // namespace
}  // namespace tvx
