#include "cli/resumo.h"

#include <ostream>
#include <string>

#include "core/catalogo.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"
#include "transport/serial.h"

namespace tvx::cli {

namespace {

const char* NomeDaAcao(Acao acao) {
    switch (acao) {
        case Acao::Programar:
            return "program";
        case Acao::Testar:
            return "test";
        case Acao::Ler:
            return "read";
    }
    return "";
}

const char* NomeDoMeio(uint32_t meio) {
    switch (meio) {
        case kMeioIpPadrao:
            return "IP Default";
        case kMeioEsteIp:
            return "Este IP";
        default:
            return "Serial";
    }
}

struct Origem {
    bool perfilExiste;
    std::string operator()(bool opcaoDada, const std::string& opcao) const {
        if (opcaoDada) {
            return "  (" + opcao + ")";
        }
        return perfilExiste ? "  (perfil)" : "  (padrão)";
    }
};

bool ParametroDado(const Opcoes& o, const char* rotulo) {
    for (const auto& [nome, valor] : o.parametros) {
        if (MesmoRotulo(nome, rotulo)) {
            return true;
        }
    }
    return false;
}

std::string Endereco(const std::string& texto) {
    return texto.empty() ? "(vazio)" : texto;
}

}  // namespace

void EscreverResumo(const Opcoes& o, const cEquipamento& eq, bool perfilExiste,
                    std::ostream& erros) {
    const Origem origem{perfilExiste};
    erros << kNomePrograma << ": " << NomeDaAcao(*o.acao) << '\n';
    erros << "  modelo:     " << eq.GetModelo() << ' '
          << (eq.infoModelo.nome ? eq.infoModelo.nome : "") << " (família "
          << static_cast<int>(eq.Familia()) << ')' << origem(o.modelo.has_value(), "--model")
          << '\n';
    erros << "  meio:       " << eq.GetMeio() << ' ' << NomeDoMeio(eq.GetMeio())
          << origem(o.meio.has_value(), "--medium") << '\n';
    if (eq.UsaTcp()) {
        erros << "  conexão:    TCP " << eq.GetIpProgramacao() << " porta " << eq.PortaTcp()
              << (eq.GetMeio() == kMeioIpPadrao ? "  (meio 0)"
                                                : origem(o.endereco.has_value(), "--address"))
              << '\n';
    } else {
        const cSerial& serial = eq.canal.Serial();
        erros << "  porta:      " << eq.GetPorta() << " (" << serial.CaminhoDispositivo() << ')'
              << origem(o.porta.has_value(), "--port") << '\n';
        erros << "  velocidade: " << VelocidadePorIndice(eq.GetVelocidade()) << " bps, 8N1"
              << origem(o.velocidade.has_value(), "--rate") << '\n';
        erros << "  RTU:        " << static_cast<int>(eq.GetRtu())
              << origem(o.rtu.has_value(), "--rtu") << '\n';
    }
    if (eq.Familia() == kFamiliaNenhuma) {
        erros << "  novo IP:    (este modelo não tem programação de IP)\n";
    } else if (!eq.ProgramaIp()) {
        erros << "  novo IP:    " << Endereco(eq.GetIpNovo()) << ", não programado (\""
              << kRotuloAlterarIp << "\" desmarcado)" << '\n';
    } else {
        erros << "  novo IP:    " << Endereco(eq.GetIpNovo()) << origem(o.ip.has_value(), "--ip")
              << '\n';
        if (eq.Familia() != kFamiliaRegistros) {
            erros << "  máscara:    " << Endereco(eq.GetMascaraNova())
                  << origem(o.mascara.has_value(), "--mask") << '\n';
            erros << "  gateway:    " << Endereco(eq.GetGatewayNovo())
                  << origem(o.gateway.has_value(), "--gateway") << '\n';
        }
    }
    std::string passos;
    for (const PassoModelo& passo : eq.infoModelo.passos) {
        const char* rotulo = RotuloDoPasso(passo.id);
        if (passo.id == 0 || passo.marcado == 0 || rotulo == nullptr) {
            continue;
        }
        passos += std::string("\n    ") + rotulo +
                  origem(ParametroDado(o, rotulo), "--param '" + std::string(rotulo) + "=1'");
    }
    erros << "  passos extras marcados:" << (passos.empty() ? " nenhum" : passos) << '\n';
    if (eq.infoModelo.instrucoes != nullptr) {
        std::string instrucoes = eq.infoModelo.instrucoes;
        erros << "  preparação do equipamento (página 1 do assistente):\n    ";
        for (size_t i = 0; i < instrucoes.size(); ++i) {
            if (instrucoes[i] == '\r') {
                continue;
            }
            erros << instrucoes[i];
            if (instrucoes[i] == '\n') {
                erros << "    ";
            }
        }
        erros << '\n';
    }
    erros << std::flush;
}

}  // namespace tvx::cli
