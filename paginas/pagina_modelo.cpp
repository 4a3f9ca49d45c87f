#include "paginas/pagina_modelo.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/catalogo.h"
#include "paginas/arquivo_configuracao.h"

namespace tvx {

bool AntesNaLista(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        // Only ASCII letters fold; bytes of accented letters compare as they are.
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        const int la = (ca < 0x80) ? std::tolower(ca) : ca;
        const int lb = (cb < 0x80) ? std::tolower(cb) : cb;
        if (la != lb) {
            return la < lb;
        }
    }
    return a.size() < b.size();
}

std::vector<EntradaModelo> ListaModelos() {
    std::vector<EntradaModelo> lista;
    std::string nome;
    for (uint32_t indice = 1; ObtemNomeModelo(indice, nome); ++indice) {
        lista.push_back({nome, indice});
    }
    std::stable_sort(lista.begin(), lista.end(),
                     [](const EntradaModelo& a, const EntradaModelo& b) {
                         return AntesNaLista(a.nome, b.nome);
                     });
    return lista;
}

std::optional<size_t> PosicaoDoModelo(const std::vector<EntradaModelo>& lista, uint32_t modelo) {
    std::string nome;
    if (!ObtemNomeModelo(modelo, nome)) {
        return std::nullopt;
    }
    for (size_t i = 0; i < lista.size(); ++i) {
        if (lista[i].nome == nome) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> EscolherModelo(cEquipamento& equipamento, std::optional<uint32_t> indice,
                                          cAvisos& avisos) {
    if (!indice) {
        avisos.Mostrar(TipoAviso::Erro, kAvisoSelecioneEquipamento);
        return std::nullopt;
    }
    std::string instrucoes;
    if (!ObtemInstrucoes(*indice, instrucoes)) {
        avisos.Mostrar(TipoAviso::Erro, kAvisoSemInformacoes);
        return std::nullopt;
    }
    equipamento.SetModelo(*indice);
    return instrucoes;
}

void ConfirmarModelo(cEquipamento& equipamento, cAvisos& avisos) {
    equipamento.CarregaInfoModelo();
    GravarConfiguracao(equipamento, avisos);
}

void LerConfiguracaoEscolhida(cEquipamento& equipamento, const std::string& caminho,
                              cAvisos& avisos) {
    if (caminho.empty()) {
        return;
    }
    // A file that cannot be read is not switched to: the saves of this run
    // keep going where they went.
    std::string anterior = std::exchange(equipamento.caminhoConfiguracao, caminho);
    std::string falha;
    if (!equipamento.Configuracao(false, &falha)) {
        equipamento.caminhoConfiguracao = std::move(anterior);
        avisos.Mostrar(TipoAviso::Erro, ComoFrase(falha));
    }
}

}  // namespace tvx
