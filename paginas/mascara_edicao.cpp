#include "paginas/mascara_edicao.h"

#include <algorithm>
#include <cstdint>

namespace tvx {

namespace {

bool DigitoDecimal(char32_t c) {
    return c >= U'0' && c <= U'9';
}
bool Letra(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}
bool DigitoHex(char32_t c) {
    return DigitoDecimal(c) || (c >= U'a' && c <= U'f') || (c >= U'A' && c <= U'F');
}
// White space as the C locale knows it.
bool Espaco(char32_t c) {
    return c == U' ' || (c >= U'\t' && c <= U'\r');
}

// A caret from a widget, brought inside [0, tamanho].
size_t CursorValido(int cursor, size_t tamanho) {
    if (cursor <= 0) {
        return 0;
    }
    return std::min(static_cast<size_t>(cursor), tamanho);
}

}  // namespace

bool MascaraEdicao::PosicaoDeEntrada(char32_t m) {
    return m == U'#' || m == U'$' || m == U'*' || m == U'?' || m == U'X';
}

bool MascaraEdicao::Aceita(char32_t m, char32_t c) {
    switch (m) {
        case U'#':
            return DigitoDecimal(c);
        case U'$':
            return DigitoDecimal(c) || Espaco(c);
        case U'*':
            return Letra(c) || DigitoDecimal(c);
        case U'?':
            return Letra(c);
        case U'X':
            return DigitoHex(c);
        default:
            return false;
    }
}

char32_t MascaraEdicao::Vazio(size_t posicao) const {
    const char32_t m = mascara_[posicao];
    return PosicaoDeEntrada(m) ? marcador_ : m;
}

size_t MascaraEdicao::ProximaEntrada(size_t inicio) const {
    for (size_t i = inicio; i < mascara_.size(); ++i) {
        if (PosicaoDeEntrada(mascara_[i])) {
            return i;
        }
    }
    return mascara_.size();
}

void MascaraEdicao::DefinirMascara(std::u32string mascara, char32_t marcador) {
    mascara_ = std::move(mascara);
    marcador_ = marcador;
    if (mascara_.empty()) {
        return;
    }
    display_.resize(mascara_.size());
    for (size_t i = 0; i < mascara_.size(); ++i) {
        display_[i] = Vazio(i);
    }
}

void MascaraEdicao::DefinirMascara(std::string_view mascaraUtf8, char32_t marcador) {
    DefinirMascara(Utf8ParaU32(mascaraUtf8), marcador);
}

const std::u32string& MascaraEdicao::DefinirTexto(std::u32string_view texto) {
    if (mascara_.empty()) {
        display_.assign(texto.begin(), texto.end());
        return display_;
    }
    std::u32string saida;
    saida.reserve(mascara_.size());
    size_t t = 0;
    for (const char32_t m : mascara_) {
        if (PosicaoDeEntrada(m)) {
            // A placeholder holds its position: a text the box showed, with a
            // position left empty, comes back unchanged instead of shifting
            // the characters after the hole one position to the left.
            if (t < texto.size() && texto[t] == marcador_) {
                saida.push_back(marcador_);
                ++t;
                continue;
            }
            while (t < texto.size() && !Aceita(m, texto[t])) {
                ++t;
            }
            if (t < texto.size()) {
                saida.push_back(texto[t]);
                ++t;
            } else {
                saida.push_back(marcador_);
            }
        } else {
            saida.push_back(m);
            if (t < texto.size() && texto[t] == m) {
                ++t;
            }
        }
    }
    display_ = std::move(saida);
    return display_;
}

std::string MascaraEdicao::DefinirTexto(std::string_view textoUtf8) {
    return U32ParaUtf8(DefinirTexto(std::u32string_view(Utf8ParaU32(textoUtf8))));
}

MascaraEdicao::Resultado MascaraEdicao::AoEditar(const std::u32string& textoNoCampo, int cursor,
                                                 Tecla tecla) {
    Resultado r;
    if (mascara_.empty() || textoNoCampo == display_) {
        r.texto = textoNoCampo;
        r.cursor = static_cast<int>(CursorValido(cursor, textoNoCampo.size()));
        r.alterado = false;
        return r;
    }
    // The display always spans the whole mask while a mask is set.
    const size_t tamanho = display_.size();
    const size_t p = CursorValido(cursor, textoNoCampo.size());
    size_t novo = 0;

    switch (tecla) {
        case Tecla::Backspace: {
            if (p < tamanho) {
                display_[p] = Vazio(p);
            }
            novo = 0;
            for (size_t i = std::min(p, tamanho); i > 0; --i) {
                if (PosicaoDeEntrada(mascara_[i - 1])) {
                    novo = i;
                    break;
                }
            }
            break;
        }
        case Tecla::Delete: {
            if (p < tamanho) {
                display_[p] = Vazio(p);
            }
            novo = ProximaEntrada(p + 1);
            break;
        }
        case Tecla::Outra: {
            if (p == 0) {
                // Nothing was typed before the caret (a cut, a paste at the
                // start): the display stands, the caret stays.
                novo = 0;
                break;
            }
            const char32_t c = textoNoCampo[p - 1];
            const size_t alvo = ProximaEntrada(p - 1);
            if (alvo >= tamanho) {
                novo = std::min(p - 1, tamanho);
            } else if (Aceita(mascara_[alvo], c)) {
                display_[alvo] = c;
                novo = ProximaEntrada(alvo + 1);
            } else {
                novo = alvo;
            }
            break;
        }
    }
    r.texto = display_;
    r.cursor = static_cast<int>(std::min(novo, tamanho));
    r.alterado = true;
    return r;
}

MascaraEdicao::ResultadoUtf8 MascaraEdicao::AoEditar(std::string_view textoNoCampoUtf8, int cursor,
                                                     Tecla tecla) {
    const Resultado r = AoEditar(Utf8ParaU32(textoNoCampoUtf8), cursor, tecla);
    return ResultadoUtf8{U32ParaUtf8(r.texto), r.cursor, r.alterado};
}

}  // namespace tvx
