// The rows of the parameters grid built, edited and read back with arbitrary
// labels, values, choices and indices, as the parameters page and the
// command-line front end use them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/utilitarios.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "paginas/propriedades.h"

namespace {

using tvx::fuzz::Exigir;

using tvx::cPropertyItem;
using tvx::cPropertyRows;

bool EspacoC(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The runtime's own reading of a leading decimal number, held at 32 bits.
int32_t NumeroReferencia(const std::string& valor) {
    errno = 0;
    const long long n = std::strtoll(valor.c_str(), nullptr, 10);
    if (n > INT32_MAX) {
        return INT32_MAX;
    }
    if (n < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(n);
}

uint32_t SemSinalReferencia(const std::string& valor) {
    size_t i = 0;
    while (i < valor.size() && EspacoC(valor[i])) {
        ++i;
    }
    if (i < valor.size() && valor[i] == '-') {
        return 0;
    }
    const unsigned long long n = std::strtoull(valor.c_str(), nullptr, 10);
    return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}

std::string Rotulo(FuzzedDataProvider& f, const std::vector<std::string>& usados) {
    // Often a label already in use, in another case, to exercise the lookup.
    if (!usados.empty() && f.ConsumeBool()) {
        std::string r = usados[f.ConsumeIntegralInRange<size_t>(0, usados.size() - 1)];
        if (f.ConsumeBool()) {
            for (char& c : r) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
        }
        return r;
    }
    return f.ConsumeRandomLengthString(24);
}

void ConferirLinhas(const cPropertyRows& linhas, const std::vector<std::string>& usados) {
    for (const std::string& nome : usados) {
        const auto i = linhas.Procurar(nome);
        Exigir(tvx::MesmoRotulo(nome, nome), "a label differs from itself");
        if (!i) {
            continue;
        }
        Exigir(*i < linhas.Quantidade(), "found row out of range");
        const cPropertyItem* linha = linhas.Linha(*i);
        Exigir(linha != nullptr && tvx::MesmoRotulo(linha->name, nome),
               "found row of another label");
        Exigir(tvx::MesmoRotulo(nome, linha->name), "label comparison not symmetric");
        for (size_t j = 0; j < *i; ++j) {
            Exigir(!tvx::MesmoRotulo(linhas.Linha(j)->name, nome), "not the first matching row");
        }
        Exigir(linhas.GetText(nome) == linha->value, "text reader disagrees with the row");
        Exigir(linhas.GetCheck(nome) == (linha->data != 0), "check reader disagrees with the row");
        const int32_t numero = linhas.GetNumber(nome);
        const uint32_t semSinal = linhas.GetUnsigned(nome);
        if (linha->editor == tvx::kEditorTexto && linha->kind == tvx::kTipoIpTexto) {
            Exigir(semSinal == tvx::TextoParaIp(linha->value), "address row read wrongly");
        } else if (!(linha->editor == tvx::kEditorLista && linha->kind == tvx::kTipoComValores)) {
            Exigir(numero == NumeroReferencia(linha->value), "number read wrongly");
            Exigir(semSinal == SemSinalReferencia(linha->value), "unsigned number read wrongly");
        } else {
            Exigir(numero == static_cast<int32_t>(linha->data), "choice value read wrongly");
        }
    }
    for (size_t i = 0; i < linhas.Quantidade(); ++i) {
        const cPropertyItem& linha = *linhas.Linha(i);
        const auto entradas = tvx::EntradasEscolha(linha);
        Exigir(tvx::IndiceInicialEditor(linha) <= entradas.size(), "editor opens past its list");
    }
    Exigir(linhas.Linha(linhas.Quantidade()) == nullptr, "row past the end");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    cPropertyRows linhas;
    std::vector<std::string> usados;
    int reconstrucoes = 0;
    // An observer that rebuilds the rows from inside the choice, as the
    // parameters page does when a choice changes what the grid offers.
    linhas.aoEscolher = [&](const cPropertyItem& copia) {
        if (reconstrucoes++ < 4 && copia.data % 2 == 1) {
            linhas.ResetContent();
            linhas.AddText(copia.name, copia.value);
        }
    };
    for (int passo = 0; passo < 48 && f.remaining_bytes() > 0; ++passo) {
        const size_t antes = linhas.Quantidade();
        bool adicionou = true;
        const std::string nome = Rotulo(f, usados);
        switch (f.ConsumeIntegralInRange<int>(0, 14)) {
            case 0:
                linhas.AddGroup(nome);
                break;
            case 1:
                linhas.AddCheck(nome, f.ConsumeBool());
                break;
            case 2:
                linhas.AddText(nome, f.ConsumeRandomLengthString(32));
                break;
            case 3:
                linhas.AddNumber(nome, f.ConsumeIntegral<int32_t>());
                break;
            case 4:
                linhas.AddIpText(nome, f.ConsumeIntegral<uint32_t>());
                break;
            case 5:
                linhas.AddIpControl(nome, f.ConsumeRandomLengthString(20));
                break;
            case 6: {
                const std::string valor = f.ConsumeRandomLengthString(24);
                linhas.AddMaskedText(nome, valor, f.ConsumeRandomLengthString(24));
                break;
            }
            case 7: {
                const uint32_t selecionado = f.ConsumeIntegralInRange<uint32_t>(0, 8);
                const std::string escolhas = f.ConsumeRandomLengthString(48);
                std::vector<uint32_t> valores;
                const size_t n = f.ConsumeIntegralInRange<size_t>(0, 10);
                for (size_t i = 0; i < n; ++i) {
                    valores.push_back(f.ConsumeIntegralInRange<uint32_t>(0, 8));
                }
                linhas.AddChoice(nome, selecionado, escolhas, f.ConsumeBool() ? &valores : nullptr);
                break;
            }
            case 8: {
                linhas.BeginChoices(f.ConsumeIntegralInRange<size_t>(0, 8));
                const size_t n = f.ConsumeIntegralInRange<size_t>(0, 12);
                for (size_t i = 0; i < n; ++i) {
                    const std::string texto = f.ConsumeRandomLengthString(12);
                    linhas.AppendChoice(texto, f.ConsumeIntegralInRange<uint32_t>(0, 8));
                }
                Exigir(linhas.ChoiceValues().size() <= 8, "more choices than the capacity");
                linhas.AddChoice(nome, f.ConsumeIntegralInRange<uint32_t>(0, 8));
                break;
            }
            case 9:
                adicionou = false;
                linhas.EditarTexto(f.ConsumeIntegralInRange<size_t>(0, antes),
                                   f.ConsumeRandomLengthString(32));
                break;
            case 10:
                adicionou = false;
                linhas.EditarEndereco(f.ConsumeIntegralInRange<size_t>(0, antes),
                                      f.ConsumeRandomLengthString(20));
                break;
            case 11:
                adicionou = false;
                if (f.ConsumeBool()) {
                    linhas.AlternarCheck(f.ConsumeIntegralInRange<size_t>(0, antes));
                } else {
                    linhas.DefinirCheck(f.ConsumeIntegralInRange<size_t>(0, antes),
                                        f.ConsumeBool());
                }
                break;
            case 12: {
                adicionou = false;
                const size_t indice = f.ConsumeIntegralInRange<size_t>(0, antes);
                size_t entrada = f.ConsumeIntegralInRange<size_t>(0, 12);
                if (const cPropertyItem* l = linhas.Linha(indice);
                    l != nullptr && f.ConsumeBool()) {
                    entrada = tvx::IndiceInicialEditor(*l);
                }
                linhas.Escolher(indice, entrada);
                break;
            }
            case 13:
                adicionou = false;
                linhas.SetSortChoices(f.ConsumeBool());
                break;
            default:
                adicionou = false;
                if (f.ConsumeIntegralInRange<int>(0, 7) == 0) {
                    linhas.ResetContent();
                }
                break;
        }
        if (adicionou) {
            Exigir(linhas.Quantidade() == antes + 1, "a builder call did not add one row");
            usados.push_back(nome);
        }
        ConferirLinhas(linhas, usados);
    }
    return 0;
}
