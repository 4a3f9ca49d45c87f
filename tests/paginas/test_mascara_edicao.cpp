// The masked text box of the parameters grid: the text put through a mask,
// and every edit a technician makes in the box, checked by the text and caret
// the box is given back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "paginas/mascara_edicao.h"

namespace tvx {
namespace {

using Tecla = MascaraEdicao::Tecla;

// Hands over what a line edit holds after each key, built on the display.
struct Caixa {
    MascaraEdicao m;

    explicit Caixa(std::string_view mascara, std::string_view texto = "") {
        m.DefinirMascara(mascara);
        m.DefinirTexto(texto);
    }
    int Digitar(int caret, char32_t c) {
        std::u32string campo = m.Display();
        campo.insert(static_cast<size_t>(caret), 1, c);
        return m.AoEditar(campo, caret + 1, Tecla::Outra).cursor;
    }
    int Backspace(int caret) {
        std::u32string campo = m.Display();
        campo.erase(static_cast<size_t>(caret - 1), 1);
        return m.AoEditar(campo, caret - 1, Tecla::Backspace).cursor;
    }
    int Delete(int caret) {
        std::u32string campo = m.Display();
        campo.erase(static_cast<size_t>(caret), 1);
        return m.AoEditar(campo, caret, Tecla::Delete).cursor;
    }
    std::string Texto() const { return m.DisplayUtf8(); }
};

TEST(MascaraEdicao, TextoPelaMascara) {
    const struct {
        const char* mascara;
        const char* texto;
        const char* resultado;
    } casos[] = {
        {"##:##", "", "__:__"},
        {"##:##", "1a2:34", "12:34"},
        {"##:##", "1:2", "12:__"},
        {"##:##", "123456", "12:34"},
        {"##:##", "ab:cd", "__:__"},
        // An empty position holds its place: reopening the box on a text it
        // showed must not move what follows the hole.
        {"##:##", "_2:34", "_2:34"},
        {"02:B4:6D:**:**:**", "", "02:B4:6D:__:__:__"},
        {"02:B4:6D:**:**:**", "1A2B3C", "02:B4:6D:1A:2B:3C"},
        {"02:B4:6D:**:**:**", "02:B4:6D:_a:2B:3c", "02:B4:6D:_a:2B:3c"},
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

TEST(MascaraEdicao, MascaraDoMac) {
    Caixa c("02:B4:6D:**:**:**");
    EXPECT_EQ(c.Digitar(0, U'a'), 10);  // typed at the start: first input position
    EXPECT_EQ(c.Texto(), "02:B4:6D:a_:__:__");
    EXPECT_EQ(c.Digitar(10, U'!'), 10);  // refused: only the caret
    EXPECT_EQ(c.Texto(), "02:B4:6D:a_:__:__");
    EXPECT_EQ(c.Digitar(10, U'9'), 12);
    EXPECT_EQ(c.Digitar(11, U':'), 12);  // the separator over the separator
    EXPECT_EQ(c.Texto(), "02:B4:6D:a9:__:__");
    for (int caret : {0, 2, 3, 7, 8}) {
        EXPECT_EQ(c.Digitar(caret, U'F'), 10);
    }
    EXPECT_EQ(c.Texto(), "02:B4:6D:F9:__:__");
    // Backspace in or just after the prefix: nothing before takes input.
    EXPECT_EQ(c.Backspace(10), 0);
    EXPECT_EQ(c.Backspace(4), 0);
    EXPECT_EQ(c.Texto(), "02:B4:6D:_9:__:__");
}

TEST(MascaraEdicao, BackspaceEDelete) {
    Caixa c("##:##", "12:34");
    EXPECT_EQ(c.Backspace(5), 4);
    EXPECT_EQ(c.Texto(), "12:3_");
    EXPECT_EQ(c.Backspace(4), 2);  // back over the literal
    EXPECT_EQ(c.Texto(), "12:__");
    EXPECT_EQ(c.Backspace(2), 1);
    EXPECT_EQ(c.Backspace(1), 0);
    EXPECT_EQ(c.Texto(), "__:__");
    // At 0 the box itself does not change the text: nothing to do.
    EXPECT_FALSE(c.m.AoEditar(c.m.Display(), 0, Tecla::Backspace).alterado);

    c.m.DefinirTexto(std::string_view("12:34"));
    EXPECT_EQ(c.Backspace(3), 2);  // on the literal: it comes back
    EXPECT_EQ(c.Texto(), "12:34");

    EXPECT_EQ(c.Delete(0), 1);
    EXPECT_EQ(c.Texto(), "_2:34");
    EXPECT_EQ(c.Delete(1), 3);  // on to the input position past the literal
    EXPECT_EQ(c.Delete(2), 3);
    EXPECT_EQ(c.Texto(), "__:34");
    EXPECT_EQ(c.Delete(4), 5);  // no input position follows: the end
    EXPECT_EQ(c.Texto(), "__:3_");
    EXPECT_FALSE(c.m.AoEditar(c.m.Display(), 5, Tecla::Delete).alterado);
}

TEST(MascaraEdicao, DigitarSobrescreveEPulaLiterais) {
    Caixa c("##:##", "12:34");
    EXPECT_EQ(c.Digitar(0, U'9'), 1);
    EXPECT_EQ(c.Digitar(1, U'8'), 3);
    EXPECT_EQ(c.Digitar(2, U'7'), 4);  // typed on the literal
    EXPECT_EQ(c.Digitar(4, U'6'), 5);
    EXPECT_EQ(c.Texto(), "98:76");
    EXPECT_EQ(c.Digitar(5, U'5'), 5);  // past the end
    EXPECT_EQ(c.Digitar(0, U'x'), 0);
    EXPECT_EQ(c.Digitar(2, U' '), 3);
    EXPECT_EQ(c.Texto(), "98:76");

    // The key recorded by the key-press handler.
    Caixa d("###", "123");
    d.m.AoPressionarTecla(Tecla::Delete);
    EXPECT_EQ(d.m.AoEditar(U"13", 1).texto, U"1_3");
    d.m.AoPressionarTecla(Tecla::Outra);
    EXPECT_EQ(d.m.AoEditar(U"14_3", 2).texto, U"143");

    // Outside ASCII: carets count characters, not bytes.
    Caixa e("Nº ##");
    EXPECT_EQ(e.Digitar(0, U'7'), 4);
    EXPECT_EQ(e.Digitar(4, U'é'), 4);
    const auto r = e.m.AoEditar(std::string_view("Nº 972_"), 4, Tecla::Outra);
    EXPECT_EQ(r.texto, "Nº 9_");
    EXPECT_EQ(r.cursor, 4);
}

TEST(MascaraEdicao, SemMascaraNadaMuda) {
    MascaraEdicao m;
    m.DefinirMascara("##");
    m.DefinirTexto(std::string_view("42"));
    m.DefinirMascara(std::string_view(""));
    EXPECT_EQ(m.DisplayUtf8(), "42");
    const auto r = m.AoEditar(std::string_view("qualquer"), 3, Tecla::Outra);
    EXPECT_FALSE(r.alterado);
    EXPECT_EQ(r.texto, "qualquer");
    EXPECT_EQ(r.cursor, 3);
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

// Any text, caret and key keeps the display inside its mask, and a display
// put back through its mask does not change.
TEST(MascaraEdicao, EntradasArbitrarias) {
    std::mt19937 gerador(20240611);
    const std::u32string alfabeto = U"#$*?X:-. 0aZ9_é€\t";
    auto sortear = [&](size_t maximo) {
        std::u32string s(gerador() % (maximo + 1), U' ');
        for (char32_t& c : s) {
            c = alfabeto[gerador() % alfabeto.size()];
        }
        return s;
    };
    MascaraEdicao m;
    for (int rodada = 0; rodada < 20000; ++rodada) {
        if (rodada % 50 == 0) {
            m.DefinirMascara(sortear(12));
            m.DefinirTexto(std::u32string_view(sortear(16)));
        }
        const int cursores[] = {-5, 0, 1, 3, 7, 19, 25, 1 << 30};
        const auto r =
            m.AoEditar(sortear(20), cursores[gerador() % 8], static_cast<Tecla>(gerador() % 3));
        ASSERT_GE(r.cursor, 0);
        ASSERT_LE(static_cast<size_t>(r.cursor), r.texto.size());
        const std::u32string& mascara = m.Mascara();
        const std::u32string display = m.Display();
        if (mascara.empty()) {
            continue;
        }
        ASSERT_EQ(display.size(), mascara.size());
        for (size_t i = 0; i < mascara.size(); ++i) {
            ASSERT_TRUE(MascaraEdicao::PosicaoDeEntrada(mascara[i])
                            ? display[i] == m.Marcador() ||
                                  MascaraEdicao::Aceita(mascara[i], display[i])
                            : display[i] == mascara[i]);
        }
        ASSERT_EQ(m.DefinirTexto(std::u32string_view(display)), display);
    }
    for (int rodada = 0; rodada < 2000; ++rodada) {
        std::string bytes(gerador() % 12, ' ');
        for (char& b : bytes) {
            b = static_cast<char>(gerador() % 256);
        }
        m.DefinirMascara(std::string_view(bytes));
        m.DefinirTexto(std::string_view(bytes));
        const auto r = m.AoEditar(std::string_view(bytes), static_cast<int>(gerador() % 16),
                                  static_cast<Tecla>(gerador() % 3));
        ASSERT_EQ(U32ParaUtf8(Utf8ParaU32(r.texto)), r.texto);
        ASSERT_LE(static_cast<size_t>(r.cursor), Utf8ParaU32(r.texto).size());
    }
}

}  // namespace
}  // namespace tvx
