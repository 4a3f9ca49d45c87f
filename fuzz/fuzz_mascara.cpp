// The masked text box of the parameters grid driven by arbitrary masks,
// placeholders, texts, carets and keys, as a line edit would drive it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "paginas/mascara_edicao.h"

namespace {

using tvx::fuzz::Exigir;

using tvx::MascaraEdicao;

// With a mask, the display spans it: literals where it has literals, and at
// each input position the placeholder or a character the position accepts.
void ConferirDisplay(const MascaraEdicao& caixa) {
    if (!caixa.TemMascara()) {
        return;
    }
    const std::u32string& m = caixa.Mascara();
    const std::u32string& d = caixa.Display();
    Exigir(d.size() == m.size(), "display does not span the mask");
    for (size_t i = 0; i < m.size(); ++i) {
        if (MascaraEdicao::PosicaoDeEntrada(m[i])) {
            Exigir(d[i] == caixa.Marcador() || MascaraEdicao::Aceita(m[i], d[i]),
                   "input position shows a character it refuses");
        } else {
            Exigir(d[i] == m[i], "literal position does not show its literal");
        }
    }
    MascaraEdicao copia = caixa;
    const std::u32string display = d;
    Exigir(copia.DefinirTexto(display) == display, "display put back through its mask changed");
}

char32_t Marcador(FuzzedDataProvider& f) {
    switch (f.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return MascaraEdicao::kMarcadorPadrao;
        case 1:
            return static_cast<char32_t>(f.ConsumeIntegralInRange<uint32_t>(0x20, 0x7E));
        case 2:
            return static_cast<char32_t>(f.ConsumeIntegralInRange<uint32_t>(0, 0x10FFFF));
        default:
            return static_cast<char32_t>(f.ConsumeIntegral<uint32_t>());
    }
}

MascaraEdicao::Tecla Tecla(FuzzedDataProvider& f) {
    switch (f.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return MascaraEdicao::Tecla::Backspace;
        case 1:
            return MascaraEdicao::Tecla::Delete;
        default:
            return MascaraEdicao::Tecla::Outra;
    }
}

int Cursor(FuzzedDataProvider& f, size_t tamanho) {
    if (f.ConsumeBool()) {
        return f.ConsumeIntegral<int>();
    }
    return f.ConsumeIntegralInRange<int>(-1, static_cast<int>(tamanho) + 2);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    MascaraEdicao caixa;
    for (int passo = 0; passo < 64 && f.remaining_bytes() > 0; ++passo) {
        switch (f.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {
                const std::string mascara = f.ConsumeRandomLengthString(40);
                caixa.DefinirMascara(std::string_view(mascara), Marcador(f));
                break;
            }
            case 1: {
                const std::string texto = f.ConsumeRandomLengthString(60);
                const std::string display = caixa.DefinirTexto(std::string_view(texto));
                Exigir(display == caixa.DisplayUtf8(), "returned text is not the display");
                break;
            }
            case 2:
                caixa.AoPressionarTecla(Tecla(f));
                break;
            case 3: {
                // An edit as a line edit reports it: mostly the display with
                // one character typed or removed somewhere, sometimes anything.
                std::u32string campo = caixa.Display();
                const int op = f.ConsumeIntegralInRange<int>(0, 2);
                const size_t onde = f.ConsumeIntegralInRange<size_t>(0, campo.size());
                if (op == 0) {
                    campo.insert(campo.begin() + static_cast<std::ptrdiff_t>(onde),
                                 static_cast<char32_t>(f.ConsumeIntegral<uint32_t>() % 0x110000));
                } else if (op == 1 && onde < campo.size()) {
                    campo.erase(campo.begin() + static_cast<std::ptrdiff_t>(onde));
                } else {
                    campo = tvx::Utf8ParaU32(f.ConsumeRandomLengthString(60));
                }
                const int cursor = Cursor(f, campo.size());
                const auto r = caixa.AoEditar(campo, cursor);
                if (r.alterado) {
                    Exigir(r.texto == caixa.Display(), "changed field is not the display");
                    Exigir(r.cursor >= 0 && static_cast<size_t>(r.cursor) <= r.texto.size(),
                           "caret outside the text");
                } else {
                    Exigir(r.texto == campo, "unchanged field text altered");
                    Exigir(r.cursor >= 0 && static_cast<size_t>(r.cursor) <= campo.size(),
                           "caret outside the text");
                }
                break;
            }
            default: {
                const std::string campo = f.ConsumeRandomLengthString(60);
                const int cursor = Cursor(f, campo.size());
                const auto r = caixa.AoEditar(std::string_view(campo), cursor, Tecla(f));
                Exigir(r.cursor >= 0, "negative caret");
                break;
            }
        }
        ConferirDisplay(caixa);
    }
    return 0;
}
