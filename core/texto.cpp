#include "core/texto.h"

#include <array>
#include <cstdint>

namespace tvx {

namespace {

// Windows-1252 0x80..0x9F. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep the C1 control of the same number, as
// Windows itself converts them, so that no byte is lost on a round trip.
constexpr std::array<char32_t, 32> kCp1252Alto = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

bool Controle(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AnexarEscape(std::string& saida, char32_t c) {
    static constexpr char kDigitos[] = "0123456789ABCDEF";
    saida += "\\x";
    saida += kDigitos[(c >> 4) & 0x0F];
    saida += kDigitos[c & 0x0F];
}

}  // namespace

std::string TextoDoEquipamento(std::string_view latin1, bool linhas) {
    std::string saida;
    saida.reserve(latin1.size() * 2);
    for (size_t i = 0; i < latin1.size(); ++i) {
        const auto b = static_cast<uint8_t>(latin1[i]);
        if (linhas && b == '\r' && i + 1 < latin1.size() && latin1[i + 1] == '\n') {
            saida += "\r\n";
            ++i;
        } else if (linhas && b == '\t') {
            saida += '\t';
        } else if (Controle(b)) {
            AnexarEscape(saida, b);
        } else {
            AnexarUtf8(saida, b);
        }
    }
    return saida;
}

std::optional<char32_t> CaractereImproprio(std::string_view texto) {
    size_t pos = 0;
    while (pos < texto.size()) {
        const char32_t c = ProximoCaractereUtf8(texto, pos);
        if (Controle(c) || c > 0xFF) {
            return c;
        }
    }
    return std::nullopt;
}

std::string DescreverCaractere(char32_t c) {
    std::string texto;
    if (Controle(c)) {
        AnexarEscape(texto, c);
        return texto;
    }
    texto += '"';
    AnexarUtf8(texto, c == kCaractereInvalido ? kSubstituto : c);
    texto += '"';
    return texto;
}

void AnexarUtf8(std::string& saida, char32_t c) {
    if (c < 0x80) {
        saida.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        saida.push_back(static_cast<char>(0xC0 | (c >> 6)));
        saida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        saida.push_back(static_cast<char>(0xE0 | (c >> 12)));
        saida.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        saida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        saida.push_back(static_cast<char>(0xF0 | (c >> 18)));
        saida.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        saida.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        saida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes the character at pos and moves pos past it. A broken sequence
// (stray continuation byte, overlong form, surrogate, value above U+10FFFF,
// sequence cut short) yields kCaractereInvalido and consumes only its longest valid
// prefix, so the byte that broke it starts the next character.
char32_t ProximoCaractereUtf8(std::string_view texto, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(texto[i]); };
    const uint8_t b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    size_t extras = 0;
    char32_t c = 0;
    uint8_t minimo = 0x80;  // bounds of the second byte
    uint8_t maximo = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extras = 1;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extras = 2;
        c = b0 & 0x0F;
        if (b0 == 0xE0) {
            minimo = 0xA0;  // overlong below U+0800
        } else if (b0 == 0xED) {
            maximo = 0x9F;  // surrogates
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extras = 3;
        c = b0 & 0x07;
        if (b0 == 0xF0) {
            minimo = 0x90;  // overlong below U+10000
        } else if (b0 == 0xF4) {
            maximo = 0x8F;  // above U+10FFFF
        }
    } else {
        ++pos;
        return kCaractereInvalido;
    }
    ++pos;
    for (size_t i = 0; i < extras; ++i) {
        if (pos >= texto.size()) {
            return kCaractereInvalido;
        }
        const uint8_t b = byte(pos);
        const uint8_t lo = i == 0 ? minimo : 0x80;
        const uint8_t hi = i == 0 ? maximo : 0xBF;
        if (b < lo || b > hi) {
            return kCaractereInvalido;
        }
        c = (c << 6) | (b & 0x3F);
        ++pos;
    }
    return c;
}

std::string Latin1ParaUtf8(std::string_view bytes) {
    std::string saida;
    saida.reserve(bytes.size() * 2);
    for (char b : bytes) {
        AnexarUtf8(saida, static_cast<uint8_t>(b));
    }
    return saida;
}

std::string Utf8ParaLatin1(std::string_view texto) {
    std::string saida;
    saida.reserve(texto.size());
    size_t pos = 0;
    while (pos < texto.size()) {
        const char32_t c = ProximoCaractereUtf8(texto, pos);
        saida.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return saida;
}

std::string Cp1252ParaUtf8(std::string_view bytes) {
    std::string saida;
    saida.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const uint8_t u = static_cast<uint8_t>(b);
        AnexarUtf8(saida, (u >= 0x80 && u <= 0x9F) ? kCp1252Alto[u - 0x80] : char32_t{u});
    }
    return saida;
}

std::string Utf8ParaCp1252(std::string_view texto) {
    std::string saida;
    saida.reserve(texto.size());
    size_t pos = 0;
    while (pos < texto.size()) {
        const char32_t c = ProximoCaractereUtf8(texto, pos);
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            saida.push_back(static_cast<char>(c));
            continue;
        }
        char convertido = '?';
        if (c != kCaractereInvalido) {
            for (size_t i = 0; i < kCp1252Alto.size(); ++i) {
                if (kCp1252Alto[i] == c) {
                    convertido = static_cast<char>(0x80 + i);
                    break;
                }
            }
        }
        saida.push_back(convertido);
    }
    return saida;
}

std::u32string Utf8ParaU32(std::string_view texto) {
    std::u32string saida;
    saida.reserve(texto.size());
    size_t pos = 0;
    while (pos < texto.size()) {
        const char32_t c = ProximoCaractereUtf8(texto, pos);
        saida.push_back(c == kCaractereInvalido ? kSubstituto : c);
    }
    return saida;
}

std::string U32ParaUtf8(std::u32string_view texto) {
    std::string saida;
    saida.reserve(texto.size());
    for (char32_t c : texto) {
        AnexarUtf8(saida, (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? kSubstituto : c);
    }
    return saida;
}

}  // namespace tvx
