// The text conversions between the program's UTF-8, the equipment's Latin-1
// and the files' Windows-1252, fed arbitrary bytes and code points.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/texto.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"

namespace {

using tvx::fuzz::Exigir;

bool Escalar(char32_t c) {
    return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

// Walks the text with the decoder; true when every sequence was valid.
bool Percorrer(const std::string& texto) {
    bool valido = true;
    size_t pos = 0;
    while (pos < texto.size()) {
        const size_t antes = pos;
        const char32_t c = tvx::ProximoCaractereUtf8(texto, pos);
        Exigir(pos > antes && pos <= texto.size() && pos - antes <= 4,
               "decoder moved wrongly through the text");
        if (c == tvx::kCaractereInvalido) {
            valido = false;
        } else {
            Exigir(Escalar(c), "decoder gave a value that is no character");
            std::string denovo;
            tvx::AnexarUtf8(denovo, c);
            Exigir(denovo == texto.substr(antes, pos - antes),
                   "decoded character encodes to other bytes");
        }
    }
    return valido;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    const std::string bytes(reinterpret_cast<const char*>(dados), tamanho);

    // Every single-byte text has a UTF-8 form that comes back byte for byte.
    const std::string deLatin1 = tvx::Latin1ParaUtf8(bytes);
    Exigir(Percorrer(deLatin1), "Latin-1 text became broken UTF-8");
    Exigir(tvx::Utf8ParaLatin1(deLatin1) == bytes, "Latin-1 text did not come back");
    const std::string deCp1252 = tvx::Cp1252ParaUtf8(bytes);
    Exigir(Percorrer(deCp1252), "Windows-1252 text became broken UTF-8");
    Exigir(tvx::Utf8ParaCp1252(deCp1252) == bytes, "Windows-1252 text did not come back");

    // The same bytes taken as UTF-8.
    const bool valido = Percorrer(bytes);
    const std::u32string u32 = tvx::Utf8ParaU32(bytes);
    const std::string deU32 = tvx::U32ParaUtf8(u32);
    Exigir(Percorrer(deU32), "code points became broken UTF-8");
    if (valido) {
        Exigir(deU32 == bytes, "valid UTF-8 did not come back through code points");
    }
    Exigir(tvx::Utf8ParaU32(deU32) == u32, "code points changed on a second pass");
    const std::string latin1 = tvx::Utf8ParaLatin1(bytes);
    const std::string cp1252 = tvx::Utf8ParaCp1252(bytes);
    Exigir(latin1.size() <= bytes.size() && cp1252.size() <= bytes.size(),
           "single-byte form longer than the text");

    // The same bytes taken as code points, four at a time.
    std::u32string pontos;
    for (size_t i = 0; i + 4 <= tamanho; i += 4) {
        pontos.push_back(static_cast<char32_t>(dados[i] | dados[i + 1] << 8 | dados[i + 2] << 16 |
                                               static_cast<uint32_t>(dados[i + 3]) << 24));
    }
    const std::string dePontos = tvx::U32ParaUtf8(pontos);
    Exigir(Percorrer(dePontos), "arbitrary code points became broken UTF-8");
    const std::u32string volta = tvx::Utf8ParaU32(dePontos);
    Exigir(volta.size() == pontos.size(), "code point count changed");
    for (size_t i = 0; i < pontos.size(); ++i) {
        Exigir(volta[i] == (Escalar(pontos[i]) ? pontos[i] : tvx::kSubstituto),
               "code point changed through UTF-8");
    }
    return 0;
}
