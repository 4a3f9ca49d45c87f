// Whole runs where the network, not the device, decides: an address that
// answers no echo, one that answers elsewhere, a refused or lost connection,
// a port that does not open. The device's own faults are the matrix's.
#include <gtest/gtest.h>

#include "apoio.h"

namespace tvx {
namespace {

using namespace teste;

// Who is on the network besides the factory address.
enum : int { kSimulador = 1, kIpNovoPresente = 2, kProgramacaoMuda = 4 };

struct Rodada {
    const char* nome;
    uint32_t modelo;
    uint32_t meio;
    uint32_t acao;
    int rede;
    Linhas esperadas;
    std::function<void(Bancada&, sim::Simulador&)> ajuste = {};
    const char* pararEm = nullptr;  // the simulator goes away when this line comes
};

constexpr const char* kNaoConectou = "Não conectou no equipamento.Verifique o firewall.";
constexpr const char* kIpJaExiste = "IP a ser programado já existe na rede.";
constexpr const char* kNaoRespondeuProgramacao = "Não respondeu no IP de programação.";
constexpr const char* kLigacao = "1)Se existe ligação física ao equipamento.";
constexpr const char* kMesmaRede = "2)Se computador está na mesma rede que o equipamento.";
constexpr const char* kFirewall = "3)Verifique se existe algum firewall bloqueando.";
const Linhas kInicio{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kFalhaEco, kConectando};

const Rodada kRodadas[] = {
    {"programming address silent", 3, kMeioEsteIp, kAcaoProgramar, kSimulador | kProgramacaoMuda,
     Linhas{kBanner, kIniciada, kVerificando, kFalhaEco,
            "Programação encerrada.Ping com falha para IP de programação."}},
    {"connection refused", 3, kMeioIpPadrao, kAcaoProgramar, 0, kInicio + Linhas{kNaoConectou}},
    // The device restarted after its step is gone when the run reconnects.
    {"reconnection refused", 23, kMeioIpPadrao, kAcaoProgramar, kSimulador,
     kInicio +
         Linhas{"Enviando programação de RTU e Velocidade...", "OK.", kReconectando, kNaoConectou},
     [](Bancada& b, sim::Simulador&) { b.Marcar(kPassoRtuVelocidade); }, "OK."},
    // Another device answers the new address: only the extra step runs.
    {"new address taken", 28, kMeioIpPadrao, kAcaoProgramar, kSimulador | kIpNovoPresente,
     Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), Eco(kIpNovoMudo), kIpJaExiste,
            "Programação de IP não será feita.", kConectando, "Enviando programação de MAC...",
            "Programação recebida:\r\nMAC=00:1A:2B:3C:4D:5E\r\n", "OK.", kReconectando,
            kFinalizada},
     [](Bancada& b, sim::Simulador&) {
         b.Marcar(kPassoMac);
         b.eq.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
     }},
    // A device still at the factory address answers the new address itself.
    {"new address is the factory one", 15, kMeioIpPadrao, kAcaoProgramar, kSimulador,
     Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), Eco(kIpFabrica), kIpJaExiste,
            kConectando, kEnviandoIp, kIpOk, "OK", kFinalizada, kLeituraIniciada, Eco(kIpFabrica)} +
         FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0",
                    TextoConfiguracao("TVX8100", kIpFabrica, "255.255.255.0", "0.0.0.0", 15)),
     [](Bancada& b, sim::Simulador&) { b.eq.SetIpNovo(kIpFabrica); }},
    // A failed run clears what an earlier one programmed.
    {"refused after a programmed run", 15, kMeioIpPadrao, kAcaoProgramar, kSimulador,
     kInicio + Linhas{kEnviandoIp, "Falha na programação."},
     [](Bancada& b, sim::Simulador& sim) {
         b.trabalhador.programado = 1;
         sim.DefinirFalha(sim::Falha::Recusar, {'L', 22});
     }},
    // A device that echoes another address than the one sent took nothing.
    {"echo of another address", 21, kMeioIpPadrao, kAcaoProgramar, kSimulador,
     kInicio + Linhas{kEnviandoIp, "Falha na programação.Reprograme o MAC."},
     [](Bancada&, sim::Simulador& sim) { sim.DefinirFalha(sim::Falha::IpDiferente); }},
    // Models with DIP switches are not restarted nor read: the switch goes back.
    {"DIP switch", 17, kMeioIpPadrao, kAcaoProgramar, kSimulador,
     kInicio + Linhas{kEnviandoIp, kIpOk, "OK", kFinalizada,
                      "Coloque a Dip na posição de funcionamento normal."}},
    // Model 1 on the serial medium still talks TCP, to the factory address.
    {"family 9 on serial", 1, kMeioSerial, kAcaoProgramar, kSimulador,
     Linhas{kBanner, kIniciada, kFalhaEco, kConectando, kEnviandoIp, "", "OK", kFinalizada,
            "IP programado:\r\nIP:010.000.000.050", "MASK:255.255.255.000", "GW:010.000.000.001"}},
    {"model without read", 8, kMeioIpPadrao, kAcaoLer, 0,
     Linhas{kBanner, "Leitura do IP programado não implementada no equipamento."}},
    {"serial port that does not open", 3, kMeioSerial, kAcaoLer, 0,
     Linhas{kBanner, kLeituraIniciada, "Não conectou com o equipamento pela porta serial."}},
    {"no address answers", 3, kMeioEsteIp, kAcaoLer, kProgramacaoMuda,
     Linhas{kBanner, kLeituraIniciada, kFalhaEco, kNaoRespondeuProgramacao, kFalhaEco,
            "Não respondeu no IP programado."}},
    {"read refused at the programming address", 3, kMeioIpPadrao, kAcaoLer, 0,
     Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica), "\r\n",
            "Não conectou no IP de programação.", kLigacao, kMesmaRede, kFirewall,
            "4)Se está no modo de programação de IP."}},
    {"read refused at the new address", 3, kMeioEsteIp, kAcaoLer,
     kIpNovoPresente | kProgramacaoMuda,
     Linhas{kBanner, kLeituraIniciada, kFalhaEco, kNaoRespondeuProgramacao, Eco(kIpNovoMudo),
            "Não conectou no IP programado.", kLigacao, kMesmaRede, kFirewall}},
    // A device already restarted on its new address is read there.
    {"read at the new address", 3, kMeioEsteIp, kAcaoLer,
     kSimulador | kIpNovoPresente | kProgramacaoMuda,
     Linhas{kBanner, kLeituraIniciada, kFalhaEco, kNaoRespondeuProgramacao, Eco(kIpNovoMudo)} +
         FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0",
                    TextoConfiguracao("TVX5150S", kIpFabrica, "255.255.255.0", "0.0.0.0", 3))},
};

TEST(FluxoRede, CadaCondicaoDaRede) {
    std::vector<std::function<void(RedeIsolada&)>> corpos;
    for (const Rodada& r : kRodadas) {
        corpos.push_back([&r](RedeIsolada& rede) {
            SCOPED_TRACE(r.nome);
            PrepararRede(rede);
            if (r.rede & kIpNovoPresente) {
                ASSERT_TRUE(rede.AdicionarEndereco("10.0.0.50/32"));
            }
            sim::Simulador sim(r.modelo);
            ASSERT_TRUE(!(r.rede & kSimulador) || sim.IniciarTcp("0.0.0.0"));
            Bancada b(r.modelo, r.meio);
            b.eq.SetPorta("/dev/tvx-porta-que-nao-existe");
            if (r.rede & kProgramacaoMuda) {
                b.eq.SetIpProgramacao("10.0.0.20");
            }
            if (r.ajuste) {
                r.ajuste(b, sim);
            }
            const Linhas linhas = b.Executar(r.acao, [&](const std::string& l) {
                if (r.pararEm && l == r.pararEm) {
                    sim.Parar();
                }
            });
            EXPECT_TRUE(SequenciaIgual(r.esperadas, linhas));
            // Only a run that programmed the address leaves `programado` set.
            EXPECT_EQ(std::count(r.esperadas.begin(), r.esperadas.end(), "OK"),
                      b.trabalhador.programado);
            EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid());
        });
    }
    ExecutarLadoALado(corpos, 16);
}

}  // namespace
}  // namespace tvx
