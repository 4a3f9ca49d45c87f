#include "core/preparacao_rede.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include "core/equipamento.h"
#include "core/os/auxiliar_rede.h"
#include "core/os/rede_local.h"
#include "core/os/registro_rede.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"

namespace tvx {

namespace {

std::mutex gMutex;
std::optional<EnderecoTemporario> gAdicionado;

std::string Ip(uint32_t ip) {
    return IpParaTexto(ip, true);
}

bool NaRedeFabrica(uint32_t ip) {
    return (ip & 0x00FFFFFF) == kRedeFabrica;
}

std::string Lista(const std::vector<std::string>& nomes) {
    std::string texto;
    for (size_t i = 0; i < nomes.size(); ++i) {
        texto += (i == 0 ? "" : i + 1 == nomes.size() ? " e " : ", ") + nomes[i];
    }
    return texto;
}

// Done by the program itself when it has the capability, else by the helper;
// a helper that is missing or failed leaves the program's own answer.
int SondarComo(const std::string& interface, uint32_t indice, uint32_t endereco) {
    int codigo = os::SondarArp(indice, endereco, os::kEsperaSondaArpMs);
    if (codigo == EPERM || codigo == EACCES) {
        os::SondarArpPeloAuxiliar(interface, endereco, codigo);
    }
    return codigo;
}

int AlterarComo(bool adicionar, const EnderecoTemporario& e) {
    int codigo = adicionar ? os::AdicionarEnderecoProprio(e.indiceInterface, e.endereco, e.prefixo)
                           : os::RemoverEnderecoProprio(e.indiceInterface, e.endereco, e.prefixo);
    if (codigo == EPERM || codigo == EACCES) {
        os::EnderecoProprioPeloAuxiliar(adicionar, e.interface, e.endereco, e.prefixo, codigo);
    }
    return codigo;
}

std::string Motivo(int codigo) {
    return std::string(std::strerror(codigo));
}

std::string TextoSemRemover(const EnderecoTemporario& e, int codigo) {
    if (codigo == EBUSY) {
        return "O endereço temporário " + e.Texto() + " ficou na interface " + e.interface +
               ": removê-lo apagaria também os endereços da mesma rede adicionados depois dele.";
    }
    return "Não foi possível remover o endereço temporário " + e.Texto() + " da interface " +
           e.interface + " (" + Motivo(codigo) +
           "). Para removê-lo, digite num terminal:\n  sudo " + "ip addr del " + e.Texto() +
           " dev " + e.interface;
}

}  // namespace

bool DiagnosticoRede::Corrigivel() const {
    return problema == ProblemaRede::ForaDaRede && indiceInterface != 0 && NaRedeFabrica(destino);
}

std::string EnderecoTemporario::Texto() const {
    return os::TextoEnderecoComPrefixo(endereco, prefixo);
}

std::string TextoComandoManual(const EnderecoTemporario& e) {
    std::string texto =
        "Este programa não tem permissão para alterar a rede (o auxiliar tvxnetcfg-rede não está "
        "instalado com as suas capacidades). Para adicionar o endereço, digite num terminal:\n"
        "  sudo ip addr add " +
        e.Texto() + " dev " + e.interface +
        "\ne, ao terminar, para removê-lo:\n  sudo ip addr del " + e.Texto() + " dev " +
        e.interface;
    if (!e.conferido) {
        texto += "\n(Não foi possível conferir se " + Ip(e.endereco) +
                 " está livre: se outro equipamento responder nele, use outro final.)";
    }
    return texto;
}

DiagnosticoRede DiagnosticarRede(uint32_t destino) {
    DiagnosticoRede d;
    d.destino = destino;
    if ((destino & 0xFF) == 127) {
        return d;
    }
    std::vector<os::InterfaceLocal> interfaces;
    std::vector<os::EnderecoLocal> enderecos;
    os::RotaLocal rota;
    const int r = os::ConsultarRota(destino, rota);
    // Without the kernel's answers nothing can be said for certain: silence.
    if (os::LerInterfacesLocais(interfaces) != 0 || os::LerEnderecosLocais(enderecos) != 0 ||
        (r != 0 && r != ENETUNREACH && r != EHOSTUNREACH)) {
        return d;
    }
    auto interfaceDe = [&](uint32_t indice) -> const os::InterfaceLocal* {
        const auto i =
            std::find_if(interfaces.begin(), interfaces.end(),
                         [&](const os::InterfaceLocal& x) { return x.indice == indice; });
        return i == interfaces.end() ? nullptr : &*i;
    };

    if (r == 0 && rota.local) {
        const auto dono =
            std::find_if(enderecos.begin(), enderecos.end(),
                         [&](const os::EnderecoLocal& e) { return e.endereco == destino; });
        const os::InterfaceLocal* i = dono == enderecos.end() ? nullptr : interfaceDe(dono->indice);
        if (i != nullptr && !i->loopback) {
            d.problema = ProblemaRede::EnderecoProprio;
            d.texto = Ip(destino) + " é um endereço deste próprio computador (interface " +
                      i->nome + "), não o do equipamento.";
        }
        return d;
    }
    if (r == 0 && rota.gateway == 0) {
        const os::InterfaceLocal* i = interfaceDe(rota.indice);
        if (i != nullptr && !i->comLink && !i->loopback) {
            d.problema = ProblemaRede::SemCabo;
            d.texto = Ip(destino) + " seria alcançado pela interface " + i->nome +
                      ", que está sem link: verifique o cabo.";
        }
        return d;
    }

    // Through a gateway, or nowhere: the device's cable is in one of the
    // wired interfaces, and the one towards the gateway is the office's.
    std::vector<const os::InterfaceLocal*> comLink;
    std::vector<std::string> semLink;
    for (const os::InterfaceLocal& i : interfaces) {
        if (i.loopback || !i.ethernet || i.semFio) {
            continue;
        }
        if (i.comLink) {
            comLink.push_back(&i);
        } else {
            semLink.push_back(i.nome + (i.ativa ? " sem link" : " desativada"));
        }
    }
    if (comLink.empty()) {
        d.problema = ProblemaRede::SemCabo;
        d.texto = "Nenhuma interface de rede com fio está com link" +
                  (semLink.empty() ? std::string() : " (" + Lista(semLink) + ")") +
                  ": verifique o cabo.";
        return d;
    }
    if (r == 0 && comLink.size() > 1) {
        comLink.erase(
            std::remove_if(comLink.begin(), comLink.end(),
                           [&](const os::InterfaceLocal* i) { return i->indice == rota.indice; }),
            comLink.end());
    }
    const os::InterfaceLocal* saida = interfaceDe(rota.indice);
    d.problema = ProblemaRede::ForaDaRede;
    d.texto = Ip(destino) + " não está em nenhuma rede deste computador (" +
              (r == 0 ? "iria pelo gateway " + Ip(rota.gateway) +
                            (saida != nullptr ? ", interface " + saida->nome : std::string())
                      : std::string("não há rota para ele")) +
              "). ";
    const std::string rede = NaRedeFabrica(destino)
                                 ? "na rede " + Ip(kRedeFabrica) + "/" +
                                       std::to_string(kPrefixoFabrica) + " do equipamento"
                                 : "na rede do equipamento";
    if (comLink.size() == 1) {
        d.interface = comLink[0]->nome;
        d.indiceInterface = comLink[0]->indice;
        d.texto +=
            "A interface " + d.interface + " está com link, mas não tem endereço " + rede + ".";
    } else {
        std::vector<std::string> nomes;
        for (const os::InterfaceLocal* i : comLink) {
            nomes.push_back(i->nome);
        }
        d.texto += "As interfaces " + Lista(nomes) + " estão com link, mas nenhuma tem endereço " +
                   rede + ".";
    }
    return d;
}

DiagnosticoRede DiagnosticarAntesDe(uint32_t acao, const cEquipamento& equipamento) {
    const uint32_t meio = equipamento.GetMeio();
    if ((acao != kAcaoProgramar && acao != kAcaoLer) ||
        (meio != kMeioIpPadrao && meio != kMeioEsteIp)) {
        return {};
    }
    return DiagnosticarRede(TextoParaIp(equipamento.GetIpProgramacao()));
}

ResultadoPreparacao EscolherEnderecoTemporario(const DiagnosticoRede& diagnostico) {
    ResultadoPreparacao r;
    r.endereco.interface = diagnostico.interface;
    r.endereco.indiceInterface = diagnostico.indiceInterface;
    if (!diagnostico.Corrigivel()) {
        r.texto = "Não há endereço a adicionar para " + Ip(diagnostico.destino) + ".";
        return r;
    }
    std::vector<os::EnderecoLocal> proprios;
    os::LerEnderecosLocais(proprios);
    for (uint32_t final = kPrimeiroFinalTemporario;
         final < kPrimeiroFinalTemporario + kFinaisTemporariosTentados; ++final) {
        const uint32_t candidato = kRedeFabrica | final << 24;
        if (candidato == diagnostico.destino ||
            std::any_of(proprios.begin(), proprios.end(),
                        [&](const os::EnderecoLocal& e) { return e.endereco == candidato; })) {
            continue;
        }
        r.endereco.endereco = candidato;
        const int codigo =
            SondarComo(diagnostico.interface, diagnostico.indiceInterface, candidato);
        if (codigo == 0) {
            r.endereco.conferido = true;
            r.resultado = Preparacao::Pronto;
            return r;
        }
        if (codigo == EPERM || codigo == EACCES) {
            r.resultado = Preparacao::SemPermissao;
            r.texto = TextoComandoManual(r.endereco);
            return r;
        }
        if (codigo != EADDRINUSE) {
            r.texto = "Não foi possível procurar um endereço livre na interface " +
                      diagnostico.interface + " (" + Motivo(codigo) + ").";
            return r;
        }
    }
    r.resultado = Preparacao::SemEnderecoLivre;
    r.texto = "Todos os endereços de " + Ip(kRedeFabrica | kPrimeiroFinalTemporario << 24) + " a " +
              Ip(kRedeFabrica | (kPrimeiroFinalTemporario + kFinaisTemporariosTentados - 1) << 24) +
              " já respondem na interface " + diagnostico.interface + ": nenhum foi adicionado.";
    return r;
}

ResultadoPreparacao AdicionarEnderecoTemporario(const EnderecoTemporario& endereco) {
    const std::lock_guard<std::mutex> trava(gMutex);
    ResultadoPreparacao r;
    r.endereco = endereco;
    if (gAdicionado) {
        r.texto = "O endereço temporário " + gAdicionado->Texto() + " já está na interface " +
                  gAdicionado->interface + ".";
        return r;
    }
    // The record first: a process killed right after the address went in
    // still leaves the note that lets the next start take it away.
    os::RegistroEndereco registro = os::RegistroDesteProcesso();
    registro.indice = endereco.indiceInterface;
    registro.interface = endereco.interface;
    registro.endereco = endereco.endereco;
    registro.prefixo = endereco.prefixo;
    std::string pasta;
    if (const int e = os::GravarRegistro(registro, &pasta)) {
        r.texto = "Não foi possível guardar o registro do endereço temporário em " + pasta + " (" +
                  Motivo(e) + "): nada foi alterado.";
        return r;
    }
    const int codigo = AlterarComo(true, endereco);
    if (codigo == 0) {
        gAdicionado = endereco;
        r.resultado = Preparacao::Pronto;
        return r;
    }
    os::ApagarRegistro(registro.pid);
    if (codigo == EPERM || codigo == EACCES) {
        r.resultado = Preparacao::SemPermissao;
        r.texto = TextoComandoManual(endereco);
    } else {
        r.texto = "Não foi possível adicionar " + endereco.Texto() + " à interface " +
                  endereco.interface + " (" + Motivo(codigo) + "): nada foi alterado.";
    }
    return r;
}

bool RemoverEnderecoTemporario(std::string& texto) {
    const std::lock_guard<std::mutex> trava(gMutex);
    texto.clear();
    if (!gAdicionado) {
        return true;
    }
    const int codigo = AlterarComo(false, *gAdicionado);
    if (codigo != 0 && codigo != ENOENT) {
        texto = TextoSemRemover(*gAdicionado, codigo);
        return false;
    }
    os::ApagarRegistro(os::RegistroDesteProcesso().pid);
    texto = "Endereço temporário " + gAdicionado->Texto() + " removido da interface " +
            gAdicionado->interface + ".";
    gAdicionado.reset();
    return true;
}

std::vector<std::string> RemoverSobras() {
    std::vector<std::string> textos;
    const os::RegistroEndereco eu = os::RegistroDesteProcesso();
    for (const os::RegistroEndereco& r : os::LerRegistros()) {
        if (r.boot != eu.boot) {
            os::ApagarRegistro(r.pid);  // the restart took the address along
            continue;
        }
        if (r.redeNs != eu.redeNs || os::DonoVivo(r)) {
            continue;
        }
        EnderecoTemporario e;
        e.interface = r.interface;
        e.indiceInterface = r.indice;
        e.endereco = r.endereco;
        e.prefixo = r.prefixo;
        const int codigo = AlterarComo(false, e);
        if (codigo != 0 && codigo != ENOENT) {
            textos.push_back(TextoSemRemover(e, codigo));
            continue;
        }
        os::ApagarRegistro(r.pid);
        if (codigo == 0) {
            textos.push_back("Endereço temporário " + e.Texto() + " removido da interface " +
                             e.interface + ": uma execução interrompida o deixou.");
        }
    }
    return textos;
}

}  // namespace tvx
