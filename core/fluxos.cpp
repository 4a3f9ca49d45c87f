// The three runs of the programming page: programming, reading the device's
// configuration and testing the new address. Each reports every step as a
// progress line and ends at the first failure.
#include <chrono>
#include <string>

#include "core/equipamento.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"

namespace tvx {

namespace {

constexpr auto kPausaAntesDoReset = std::chrono::milliseconds(100);
constexpr auto kPassoContagem = std::chrono::milliseconds(1000);
constexpr int kSegundosRetornoReset = 10;

const char* const kNaoConectouFirewall = "Não conectou no equipamento.Verifique o firewall.";
const char* const kNaoConectouSerial = "Não conectou com o equipamento pela porta serial.";
const char* const kVerifiqueLigacao = "1)Se existe ligação física ao equipamento.";
const char* const kVerifiqueRede = "2)Se computador está na mesma rede que o equipamento.";
const char* const kVerifiqueFirewall = "3)Verifique se existe algum firewall bloqueando.";

std::string AvisoDip() {
    const std::string asteriscos(59, '*');
    return "\r\n" + asteriscos + "\r\nAs informações são válidas somente se o equipamento" +
           "\r\nnão está em modo de PROGRAMAÇÃO DE IP pela DIP!!" + "\r\n" + asteriscos + "\r\n";
}

}  // namespace

void cThreadProgramar::Programar() {
    cEquipamento& eq = equipamento_;
    // The protocol routines post their own lines through the equipment object.
    eq.janelaProgresso = Destino();
    eq.mensagemProgresso = MensagemIncluirProcesso();
    eq.Desconecta();

    PostarFixo("Programação iniciada...");
    bool fazerIp = true;
    bool reconectar = false;

    if (eq.GetMeio() != kMeioSerial) {
        PostarFixo("Verificando se o IP de programação está presente na rede...");
        if (!PingarSerie(eq.GetIpProgramacao(), 1, false)) {
            PostarFixo("Programação encerrada.Ping com falha para IP de programação.");
            return;
        }
    }

    if (eq.Familia() != kFamiliaNenhuma && eq.ProgramaIp() &&
        PingarSerie(eq.GetIpNovo(), 1, false)) {
        PostarFixo("IP a ser programado já existe na rede.");
        // A device still at the factory address answers there itself: only
        // another address answering means a clash.
        if (TextoParaIp(eq.GetIpNovo()) != TextoParaIp(kIpFabrica)) {
            PostarFixo("Programação de IP não será feita.");
            fazerIp = false;
        }
    }

    PostarFixo("Conectando no equipamento...");
    if (!eq.Conecta(false)) {
        AnotarMotivoFalha(kNaoConectouFirewall);
        PostarFixo(kNaoConectouFirewall);
        return;
    }

    estado = EstadoEquipamento::Incerto;
    if (!eq.ProgramacaoEstendida(reconectar)) {
        eq.Desconecta();
        PostarFixo("Falha");
        return;
    }
    estado = reconectar ? EstadoEquipamento::Alterado : EstadoEquipamento::Intacto;
    if (reconectar) {
        // Some settings take effect only on a new connection.
        eq.Desconecta();
        PostarFixo("Reconectando no equipamento...");
        if (!eq.Conecta(false)) {
            AnotarMotivoFalha(kNaoConectouFirewall);
            PostarFixo(kNaoConectouFirewall);
            return;
        }
    }

    programado = 0;
    if (eq.Familia() != kFamiliaNenhuma && eq.ProgramaIp() && fazerIp) {
        PostarFixo("Enviando programação de IP...");
        std::string resposta;
        estado = EstadoEquipamento::Incerto;
        if (!eq.ProgramarIp(resposta)) {
            eq.Desconecta();
            PostarCopia(resposta);
            return;
        }
        estado = EstadoEquipamento::Programado;
        PostarCopia(resposta);
        PostarFixo("OK");
        reconectar = true;
        programado = 1;
    }

    PostarFixo("Programação finalizada.");

    // Models with DIP switches restart only when the technician moves the
    // switches back; the others are restarted so that the new settings apply.
    // The pauses end at once on a stop: a stop in the first one sends no
    // restart, a stop in the countdown ends it.
    if (reconectar && eq.PermiteReset() && !eq.ModeloComDip() &&
        !DeveParar(static_cast<uint32_t>(kPausaAntesDoReset.count()))) {
        if (eq.EnviaReset()) {
            if (programado != 0) {
                estado = EstadoEquipamento::Reiniciando;
            }
            PostarFixo("Equipamento reiniciado.Aguardando retorno do reset..");
            for (int n = kSegundosRetornoReset; n >= 1; --n) {
                if (DeveParar(static_cast<uint32_t>(kPassoContagem.count()))) {
                    break;
                }
                PostarCopia(std::to_string(n) + "s...");
            }
        }
    }

    eq.Desconecta();
    eq.AvisaDesligarLigar();

    // After a stop the read-back would only report a device that did not
    // answer while it restarts.
    if (!fazerIp || DeveParar(0)) {
        return;
    }
    if (eq.MostraIpProgramado()) {
        PostarCopia("IP programado:\r\nIP:" + eq.GetIpLido());
        PostarCopia("MASK:" + eq.GetMascaraLida());
        PostarCopia("GW:" + eq.GetGatewayLido());
    } else if (eq.ModeloComDip()) {
        PostarFixo("Coloque a Dip na posição de funcionamento normal.");
    } else {
        Ler(false);
    }
}

void cThreadProgramar::Ler(bool detalhado) {
    cEquipamento& eq = equipamento_;
    // Lines of the read routines reach the page also when no programming run
    // came first.
    eq.janelaProgresso = Destino();
    eq.mensagemProgresso = MensagemIncluirProcesso();

    if (!eq.PodeLer()) {
        // After a programming run the read is only a courtesy: say nothing.
        if (detalhado) {
            PostarFixo("Leitura do IP programado não implementada no equipamento.");
        }
        return;
    }

    PostarFixo("Leitura iniciada...");
    if (eq.GetMeio() == kMeioSerial) {
        if (!eq.Conecta(false)) {
            AnotarMotivoFalha(kNaoConectouSerial);
            PostarFixo(kNaoConectouSerial);
            return;
        }
    } else if (PingarSerie(eq.GetIpProgramacao(), 1, false)) {
        if (!eq.Conecta(false)) {
            PostarFixo("\r\n");
            PostarFixo("Não conectou no IP de programação.");
            PostarFixo(kVerifiqueLigacao);
            PostarFixo(kVerifiqueRede);
            PostarFixo(kVerifiqueFirewall);
            PostarFixo("4)Se está no modo de programação de IP.");
            return;
        }
    } else {
        // A device already restarted on its new address answers there.
        PostarFixo("Não respondeu no IP de programação.");
        if (!PingarSerie(eq.GetIpNovo(), 1, false)) {
            PostarFixo("Não respondeu no IP programado.");
            return;
        }
        if (!eq.Conecta(true)) {
            PostarFixo("Não conectou no IP programado.");
            PostarFixo(kVerifiqueLigacao);
            PostarFixo(kVerifiqueRede);
            PostarFixo(kVerifiqueFirewall);
            return;
        }
    }

    std::string resposta;
    if (!eq.LerConfiguracao(resposta)) {
        eq.Desconecta();
        PostarCopia(resposta);
        return;
    }
    eq.Desconecta();

    const std::string aviso = eq.ModeloComDip() ? AvisoDip() : std::string();
    if (eq.MostraEnderecosLidos()) {
        PostarCopia(aviso + "IP:" + eq.GetIpLido());
        PostarCopia("MASK:" + eq.GetMascaraLida());
        PostarCopia("GW:" + eq.GetGatewayLido());
    }
    PostarCopia("INFORMAÇÃO EXTRA");
    PostarCopia(resposta);
    PostarFixo("Leitura finalizada.");
}

void cThreadProgramar::Testar() {
    cEquipamento& eq = equipamento_;
    eq.janelaProgresso = Destino();
    eq.mensagemProgresso = MensagemIncluirProcesso();

    if (eq.Familia() == kFamiliaNenhuma) {
        PostarFixo("Este equipamento não tem programação de IP.");
        return;
    }
    PostarFixo("Verificando IP programado...");
    if (PingarSerie(eq.GetIpNovo(), 3, true)) {
        PostarFixo("IP programado OK.");
        return;
    }
    PostarFixo("IP programado não respondeu.Verifique:");
    PostarFixo(kVerifiqueLigacao);
    PostarFixo(kVerifiqueRede);
    PostarFixo("Verificação finalizada.");
}

}  // namespace tvx
