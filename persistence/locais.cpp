#include "persistence/locais.h"

namespace tvx {

namespace {

std::string PastaDoPrograma(const std::string& base) {
    return base.empty() ? std::string() : base + "/" + kPastaDoPrograma;
}

}  // namespace

LocaisArquivos LocaisDosArquivos() {
    LocaisArquivos locais;
    const std::string configuracao = PastaDoPrograma(os::PastaConfiguracaoUsuario());
    const std::string estado = PastaDoPrograma(os::PastaEstadoUsuario());
    const std::string atual = os::DiretorioAtual();
    if (configuracao.empty() || estado.empty() ||
        (!atual.empty() && os::ArquivoExiste(atual + "/" + kNomeConfiguracao))) {
        return locais;
    }
    locais.configuracao = configuracao + "/" + kNomeConfiguracao;
    locais.log = estado + "/" + kNomeLog;
    locais.pastaConfiguracao = configuracao;
    return locais;
}

os::ResultadoArquivo PrepararPasta(const std::string& caminho) {
    const size_t barra = caminho.find_last_of('/');
    if (barra == std::string::npos) {
        return {};
    }
    const std::string pasta = caminho.substr(0, barra);
    for (const std::string& propria : {PastaDoPrograma(os::PastaConfiguracaoUsuario()),
                                       PastaDoPrograma(os::PastaEstadoUsuario())}) {
        if (!propria.empty() && pasta == propria) {
            return os::CriarPastas(pasta);
        }
    }
    return {};
}

}  // namespace tvx
