// The masked text box of the parameters grid: the text put through a mask,
// and every edit a technician makes in the box, checked by the text and caret
// the box is given back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ui/logica/mascara_edicao.h"

namespace tvx {
namespace {

using Tecla = MascaraEdicao::Tecla;

// What the box hands over after each key, computed the way a line edit does
// it on the current display.
struct Caixa {
    MascaraEdicao m;
    int cursor = 0;

    MascaraEdicao::Resultado Digitar(int caret, char32_t c) {
        std::u32string campo = m.Display();
        campo.insert(static_cast<size_t>(caret), 1, c);
        return Aplicar(m.AoEditar(campo, caret + 1, Tecla::Outra));
    }
    MascaraEdicao::Resultado Backspace(int caret) {
        std::u32string campo = m.Display();
        if (caret == 0) {
            return Aplicar(m.AoEditar(campo, 0, Tecla::Backspace));
        }
        campo.erase(static_cast<size_t>(caret - 1), 1);
        return Aplicar(m.AoEditar(campo, caret - 1, Tecla::Backspace));
    }
    MascaraEdicao::Resultado Delete(int caret) {
        std::u32string campo = m.Display();
        if (static_cast<size_t>(caret) < campo.size()) {
            campo.erase(static_cast<size_t>(caret), 1);
        }
        return Aplicar(m.AoEditar(campo, caret, Tecla::Delete));
    }
    MascaraEdicao::Resultado Aplicar(MascaraEdicao::Resultado r) {
        cursor = r.cursor;
        return r;
    }
    std::string Texto() const { return m.DisplayUtf8(); }
};

TEST(MascaraEdicao, TextoPelaMascara) {
    MascaraEdicao m;
    m.DefinirMascara("##:##");
    EXPECT_EQ(m.DisplayUtf8(), "__:__");
    EXPECT_EQ(m.DefinirTexto(std::string_view("1a2:34")), "12:34");
    EXPECT_EQ(m.DefinirTexto(std::string_view("")), "__:__");
    EXPECT_EQ(m.DefinirTexto(std::string_view("1")), "1_:__");
    EXPECT_EQ(m.DefinirTexto(std::string_view("1:2")), "12:__");
    EXPECT_EQ(m.DefinirTexto(std::string_view("123456")), "12:34");
    EXPECT_EQ(m.DefinirTexto(std::string_view("ab:cd")), "__:__");

    // An empty position stays where it is: reopening the box on a text it
    // showed must not move the characters after the hole.
    EXPECT_EQ(m.DefinirTexto(std::string_view("_2:34")), "_2:34");
    EXPECT_EQ(m.DefinirTexto(std::string_view("1_:_4")), "1_:_4");
    m.DefinirMascara("02:B4:6D:**:**:**");
    EXPECT_EQ(m.DefinirTexto(std::string_view("02:B4:6D:_A:2B:3C")), "02:B4:6D:_A:2B:3C");

    // Another placeholder.
    m.DefinirMascara("##:##", U'*');
    EXPECT_EQ(m.DisplayUtf8(), "**:**");
    EXPECT_EQ(m.DefinirTexto(std::string_view("7")), "7*:**");
    // '_' is then an ordinary refused character.
    EXPECT_EQ(m.DefinirTexto(std::string_view("_2:34")), "23:4*");
}

TEST(MascaraEdicao, CaracteresDaMascara) {
    MascaraEdicao m;
    m.DefinirMascara("$$$");
    EXPECT_EQ(m.DefinirTexto(std::string_view("a 5\t")), " 5\t");

    m.DefinirMascara("??");
    EXPECT_EQ(m.DefinirTexto(std::string_view("1aB")), "aB");
    // Letters are the ASCII ones.
    EXPECT_EQ(m.DefinirTexto(std::string_view("éa")), "a_");

    m.DefinirMascara("XX-XX");
    EXPECT_EQ(m.DisplayUtf8(), "__-__");
    EXPECT_EQ(m.DefinirTexto(std::string_view("0fG1A")), "0f-1A");

    m.DefinirMascara("**");
    EXPECT_EQ(m.DefinirTexto(std::string_view("-z9")), "z9");

    EXPECT_TRUE(MascaraEdicao::Aceita(U'#', U'0'));
    EXPECT_FALSE(MascaraEdicao::Aceita(U'#', U' '));
    EXPECT_TRUE(MascaraEdicao::Aceita(U'$', U' '));
    EXPECT_FALSE(MascaraEdicao::Aceita(U'$', U'a'));
    EXPECT_TRUE(MascaraEdicao::Aceita(U'*', U'Z'));
    EXPECT_FALSE(MascaraEdicao::Aceita(U'*', U'_'));
    EXPECT_FALSE(MascaraEdicao::Aceita(U'?', U'1'));
    EXPECT_TRUE(MascaraEdicao::Aceita(U'X', U'f'));
    EXPECT_FALSE(MascaraEdicao::Aceita(U'X', U'g'));
    // A literal takes nothing, not even itself.
    EXPECT_FALSE(MascaraEdicao::Aceita(U':', U':'));
}

TEST(MascaraEdicao, MascaraDoMac) {
    Caixa c;
    c.m.DefinirMascara("02:B4:6D:**:**:**");
    EXPECT_EQ(c.Texto(), "02:B4:6D:__:__:__");
    EXPECT_EQ(c.m.DefinirTexto(std::string_view("02:B4:6D:1a:2B:3c")), "02:B4:6D:1a:2B:3c");
    EXPECT_EQ(c.m.DefinirTexto(std::string_view("1A2B3C")), "02:B4:6D:1A:2B:3C");
    EXPECT_EQ(c.m.DefinirTexto(std::string_view("")), "02:B4:6D:__:__:__");

    // Typing at the start lands on the first input position.
    auto r = c.Digitar(0, U'a');
    EXPECT_TRUE(r.alterado);
    EXPECT_EQ(c.Texto(), "02:B4:6D:a_:__:__");
    EXPECT_EQ(r.cursor, 10);
    // Refused: nothing changes but the caret.
    r = c.Digitar(10, U'!');
    EXPECT_EQ(c.Texto(), "02:B4:6D:a_:__:__");
    EXPECT_EQ(r.cursor, 10);
    r = c.Digitar(10, U'9');
    EXPECT_EQ(c.Texto(), "02:B4:6D:a9:__:__");
    EXPECT_EQ(r.cursor, 12);
    // Typing the separator over the separator just moves on.
    r = c.Digitar(11, U':');
    EXPECT_EQ(c.Texto(), "02:B4:6D:a9:__:__");
    EXPECT_EQ(r.cursor, 12);
    // Inside the fixed prefix a key reaches the first input position, never
    // the prefix.
    r = c.Digitar(3, U'F');
    EXPECT_EQ(c.Texto(), "02:B4:6D:F9:__:__");
    EXPECT_EQ(r.cursor, 10);
    for (int caret : {0, 1, 2, 4, 7, 8}) {
        c.Digitar(caret, U'7');
        EXPECT_EQ(c.Texto().substr(0, 9), "02:B4:6D:");
    }
    // Backspace on the first input position: nothing before it takes input.
    r = c.Backspace(10);
    EXPECT_EQ(c.Texto().substr(0, 10), "02:B4:6D:_");
    EXPECT_EQ(r.cursor, 0);
    // Backspace inside the prefix puts the literal back.
    r = c.Backspace(4);
    EXPECT_EQ(c.Texto().substr(0, 9), "02:B4:6D:");
    EXPECT_EQ(r.cursor, 0);
}

TEST(MascaraEdicao, BackspaceVoltaSobreLiterais) {
    Caixa c;
    c.m.DefinirMascara("##:##");
    c.m.DefinirTexto(std::string_view("12:34"));

    auto r = c.Backspace(5);
    EXPECT_EQ(c.Texto(), "12:3_");
    EXPECT_EQ(r.cursor, 4);
    r = c.Backspace(4);
    EXPECT_EQ(c.Texto(), "12:__");
    // Just after the nearest input position, before the literal.
    EXPECT_EQ(r.cursor, 2);
    r = c.Backspace(2);
    EXPECT_EQ(c.Texto(), "1_:__");
    EXPECT_EQ(r.cursor, 1);
    r = c.Backspace(1);
    EXPECT_EQ(c.Texto(), "__:__");
    EXPECT_EQ(r.cursor, 0);
    // At 0 the box does not change: nothing to do.
    r = c.Backspace(0);
    EXPECT_FALSE(r.alterado);
    EXPECT_EQ(c.Texto(), "__:__");

    // On the literal: the literal comes back and the caret stays before it.
    c.m.DefinirTexto(std::string_view("12:34"));
    r = c.Backspace(3);
    EXPECT_EQ(c.Texto(), "12:34");
    EXPECT_EQ(r.cursor, 2);
}

TEST(MascaraEdicao, DeleteAvancaParaAEntradaSeguinte) {
    Caixa c;
    c.m.DefinirMascara("##:##");
    c.m.DefinirTexto(std::string_view("12:34"));

    auto r = c.Delete(0);
    EXPECT_EQ(c.Texto(), "_2:34");
    EXPECT_EQ(r.cursor, 1);
    r = c.Delete(1);
    EXPECT_EQ(c.Texto(), "__:34");
    EXPECT_EQ(r.cursor, 3);
    // On the literal: it stays, the caret goes past it.
    r = c.Delete(2);
    EXPECT_EQ(c.Texto(), "__:34");
    EXPECT_EQ(r.cursor, 3);
    // On the last position: no input position follows, the caret goes to the end.
    r = c.Delete(4);
    EXPECT_EQ(c.Texto(), "__:3_");
    EXPECT_EQ(r.cursor, 5);
    // At the end the box does not change.
    r = c.Delete(5);
    EXPECT_FALSE(r.alterado);
}

TEST(MascaraEdicao, DigitarSobrescreveEPulaLiterais) {
    Caixa c;
    c.m.DefinirMascara("##:##");
    c.m.DefinirTexto(std::string_view("12:34"));

    auto r = c.Digitar(0, U'9');
    EXPECT_EQ(c.Texto(), "92:34");
    EXPECT_EQ(r.cursor, 1);
    r = c.Digitar(1, U'8');
    EXPECT_EQ(c.Texto(), "98:34");
    EXPECT_EQ(r.cursor, 3);
    // Typed on the literal: goes to the input position after it.
    r = c.Digitar(2, U'7');
    EXPECT_EQ(c.Texto(), "98:74");
    EXPECT_EQ(r.cursor, 4);
    r = c.Digitar(4, U'6');
    EXPECT_EQ(c.Texto(), "98:76");
    EXPECT_EQ(r.cursor, 5);
    // Past the end nothing changes and the caret stays at the end.
    r = c.Digitar(5, U'5');
    EXPECT_TRUE(r.alterado);
    EXPECT_EQ(r.texto, U"98:76");
    EXPECT_EQ(r.cursor, 5);
    // Refused characters.
    r = c.Digitar(0, U'x');
    EXPECT_EQ(c.Texto(), "98:76");
    EXPECT_EQ(r.cursor, 0);
    r = c.Digitar(2, U' ');
    EXPECT_EQ(c.Texto(), "98:76");
    EXPECT_EQ(r.cursor, 3);
}

TEST(MascaraEdicao, TeclaGuardadaPeloPressionamento) {
    MascaraEdicao m;
    m.DefinirMascara("###");
    m.DefinirTexto(std::string_view("123"));
    m.AoPressionarTecla(Tecla::Delete);
    auto r = m.AoEditar(U"13", 1);
    EXPECT_EQ(r.texto, U"1_3");
    EXPECT_EQ(r.cursor, 2);
    m.AoPressionarTecla(Tecla::Outra);
    r = m.AoEditar(U"14_3", 2);
    EXPECT_EQ(r.texto, U"143");
    EXPECT_EQ(r.cursor, 2);
}

TEST(MascaraEdicao, SemMascaraOTextoFicaComoEsta) {
    MascaraEdicao m;
    EXPECT_FALSE(m.TemMascara());
    EXPECT_EQ(m.DefinirTexto(std::string_view("1a2:34")), "1a2:34");
    const auto r = m.AoEditar(std::string_view("qualquer coisa"), 3, Tecla::Outra);
    EXPECT_FALSE(r.alterado);
    EXPECT_EQ(r.texto, "qualquer coisa");
    EXPECT_EQ(r.cursor, 3);

    // Setting an empty mask after a mask leaves the display alone.
    m.DefinirMascara("##");
    m.DefinirTexto(std::string_view("42"));
    m.DefinirMascara(std::string_view(""));
    EXPECT_EQ(m.DisplayUtf8(), "42");
    EXPECT_FALSE(m.AoEditar(std::string_view("4"), 1, Tecla::Backspace).alterado);
}

TEST(MascaraEdicao, ForaDoAsciiEmCodePoints) {
    Caixa c;
    c.m.DefinirMascara("Nº ##");
    EXPECT_EQ(c.Texto(), "Nº __");
    EXPECT_EQ(c.m.DefinirTexto(std::string_view("Nº 42")), "Nº 42");
    // Carets count characters, not bytes.
    auto r = c.Digitar(3, U'7');
    EXPECT_EQ(c.Texto(), "Nº 72");
    EXPECT_EQ(r.cursor, 4);
    r = c.Digitar(3, U'é');
    EXPECT_EQ(c.Texto(), "Nº 72");
    EXPECT_EQ(r.cursor, 3);

    const auto u = c.m.AoEditar(std::string_view("Nº 972"), 4, Tecla::Outra);
    EXPECT_EQ(u.texto, "Nº 92");
    EXPECT_EQ(u.cursor, 4);
}

TEST(MascaraEdicao, Utf8NasBordas) {
    EXPECT_EQ(Utf8ParaU32("aé€😀"), U"aé€😀");
    EXPECT_EQ(U32ParaUtf8(U"aé€😀"), "aé€😀");
    // Broken sequences: a lone continuation byte, a cut sequence, an overlong
    // form, a surrogate, a byte that never starts a sequence.
    EXPECT_EQ(Utf8ParaU32("\x80"), U"\uFFFD");
    EXPECT_EQ(Utf8ParaU32("a\xC3"), U"a\uFFFD");
    EXPECT_EQ(Utf8ParaU32("\xC0\xAF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ParaU32("\xED\xA0\x80z"), U"\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(Utf8ParaU32("\xFF"), U"\uFFFD");
    std::u32string invalido;
    invalido.push_back(0xD800);
    invalido.push_back(0x110000);
    EXPECT_EQ(U32ParaUtf8(invalido), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Any text, caret and key keeps the display inside its mask: literals where
// the mask has them, accepted characters or the placeholder elsewhere, and a
// caret inside the text.
TEST(MascaraEdicao, EntradasArbitrariasNaoSaemDosLimites) {
    std::mt19937 gerador(20240611);
    const std::u32string alfabeto = U"#$*?X:-. 0aZ9_é€\t";
    auto sortear = [&](size_t maximo) {
        std::u32string s;
        const size_t n = gerador() % (maximo + 1);
        for (size_t i = 0; i < n; ++i) {
            s.push_back(alfabeto[gerador() % alfabeto.size()]);
        }
        return s;
    };
    MascaraEdicao m;
    for (int rodada = 0; rodada < 20000; ++rodada) {
        if (rodada % 50 == 0) {
            m.DefinirMascara(sortear(12));
            m.DefinirTexto(std::u32string_view(sortear(16)));
        }
        const std::u32string campo = sortear(20);
        const int cursores[] = {-5, 0, 1, 3, 7, 19, 25, 1 << 30};
        const int cursor = cursores[gerador() % 8];
        const Tecla tecla = static_cast<Tecla>(gerador() % 3);
        const auto r = m.AoEditar(campo, cursor, tecla);
        ASSERT_GE(r.cursor, 0);
        ASSERT_LE(static_cast<size_t>(r.cursor), r.texto.size());
        if (!m.TemMascara()) {
            continue;
        }
        const std::u32string& mascara = m.Mascara();
        const std::u32string display = m.Display();
        // Put back through the mask, a display does not change.
        ASSERT_EQ(m.DefinirTexto(std::u32string_view(display)), display);
        ASSERT_EQ(display.size(), mascara.size());
        for (size_t i = 0; i < mascara.size(); ++i) {
            if (MascaraEdicao::PosicaoDeEntrada(mascara[i])) {
                ASSERT_TRUE(display[i] == m.Marcador() ||
                            MascaraEdicao::Aceita(mascara[i], display[i]));
            } else {
                ASSERT_EQ(display[i], mascara[i]);
            }
        }
    }
    // The UTF-8 edge with arbitrary bytes.
    for (int rodada = 0; rodada < 2000; ++rodada) {
        std::string bytes;
        const size_t n = gerador() % 12;
        for (size_t i = 0; i < n; ++i) {
            bytes.push_back(static_cast<char>(gerador() % 256));
        }
        m.DefinirMascara(std::string_view(bytes));
        m.DefinirTexto(std::string_view(bytes));
        const auto r = m.AoEditar(std::string_view(bytes), static_cast<int>(gerador() % 16),
                                  static_cast<Tecla>(gerador() % 3));
        // What goes back to the widget is valid UTF-8 and the caret is inside it.
        ASSERT_EQ(U32ParaUtf8(Utf8ParaU32(r.texto)), r.texto);
        ASSERT_GE(r.cursor, 0);
        ASSERT_LE(static_cast<size_t>(r.cursor), Utf8ParaU32(r.texto).size());
    }
}

}  // namespace
}  // namespace tvx
