#include "paginas/arquivo_configuracao.h"

#include <string>

namespace tvx {

std::string ComoFrase(const std::string& texto) {
    std::string frase = texto;
    if (!frase.empty() && frase.front() >= 'a' && frase.front() <= 'z') {
        frase.front() = static_cast<char>(frase.front() - 'a' + 'A');
    }
    return frase + ".";
}

void CarregarConfiguracaoInicial(cEquipamento& equipamento, cAvisos& avisos) {
    std::string falha;
    if (!equipamento.Configuracao(false, &falha)) {
        avisos.Mostrar(TipoAviso::Erro, ComoFrase(falha) + "\n" + kComValoresPadrao);
        equipamento.ConfiguracaoPadrao();
    }
}

LocaisArquivos IniciarArquivos(cEquipamento& equipamento, cAvisos& avisos) {
    const LocaisArquivos locais = LocaisDosArquivos();
    equipamento.caminhoConfiguracao = locais.configuracao;
    CarregarConfiguracaoInicial(equipamento, avisos);
    return locais;
}

void GravarConfiguracao(cEquipamento& equipamento, cAvisos& avisos) {
    std::string falha;
    if (!equipamento.Configuracao(true, &falha)) {
        avisos.Mostrar(TipoAviso::Erro, ComoFrase(falha) + "\n" + kEscolhasNaoGuardadas);
    }
}

}  // namespace tvx
