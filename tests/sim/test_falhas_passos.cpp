// Fault injection into the extra steps of the programming run,
// the serial line vanishing under each step, and replies longer than the
// channel's 2048-byte buffer for the unframed blocks and the Modbus
// exchanges. Harness: falhas_apoio.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "falhas_apoio.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;

constexpr const char* kAvisoDesligar =
    "Para que a configuração entre em vigor é necessário desligar e ligar o equipamento.";

// One acknowledged extra step of a model: its target, its announcement and
// the lines the run shows after it when the device's reply fails.
struct PassoCaso {
    const char* nome;
    uint32_t modelo;
    uint8_t passo;
    AlvoFalha alvo;
    const char* anuncio;
    Linhas falhou;
};

// Model 25 (family 0): no IP programming, so a step is the only exchange
// before the read run; its reconnection time must be one the device takes.
void Reconexao7(cEquipamento& e) {
    e.registroReconexao[8] = 7;
}

const std::vector<PassoCaso>& PassosModelo25() {
    static const std::vector<PassoCaso> passos{
        {"L25",
         25,
         kPassoTelemetria,
         {'L', 25},
         "Enviando programação de ID e Operadora...",
         {kFalhaRun}},
        {"L26", 25, kPassoUrl, {'L', 26}, "Enviando programação de URL...", {kFalhaRun}},
        {"L28",
         25,
         kPassoReconexao,
         {'L', 28},
         "Enviando programação do tempo de reconexão...",
         {kFalhaRun}},
        {"P1",
         25,
         kPassoRelogio,
         {'P', 1},
         "Enviando programação de relógio...",
         {kFalhaProgramacao, kFalhaRun}},
        {"P5",
         25,
         kPassoMemoriaMassa,
         {'P', 5},
         "Reset da Memória de Massa...",
         {"Falha no reset da memória.", kFalhaRun}},
        {"P4",
         25,
         kPassoCamposMemoria,
         {'P', 4},
         "Campos de Memória...",
         {"Falha programação dos campos de memória.", kFalhaRun}},
    };
    return passos;
}

// The steps of the family-10 models that the serial medium also reaches.
const std::vector<PassoCaso>& PassosFamilia10() {
    static const std::vector<PassoCaso> passos{
        {"L2",
         23,
         kPassoRtuVelocidade,
         {'L', 2},
         "Enviando programação de RTU e Velocidade...",
         {kFalhaProgramacao, kFalhaRun}},
        {"L20", 22, kPassoMacComando, {'L', 20}, "Enviando programação de MAC...", {kFalhaRun}},
    };
    return passos;
}

Linhas Inicio(const PassoCaso& p, Meio meio) {
    if (p.modelo == 25) {  // family 0: the new address is not pinged
        return meio == Meio::Tcp
                   ? Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kConectando}
                   : Linhas{kBanner, kIniciada, kConectando};
    }
    return meio == Meio::Tcp ? ProgTcp() : ProgSerial();
}

Caso CasoPasso(const PassoCaso& p, Meio meio, const char* falhaNome, Falha falha, Linhas depois,
               std::chrono::milliseconds limite = kRapido) {
    return Linha(std::string(p.nome) + " " + falhaNome + (meio == Meio::Tcp ? " tcp" : " serial"),
                 p.modelo, meio, kAcaoProgramar, falha, p.alvo,
                 Inicio(p, meio) + Linhas{p.anuncio} + depois, limite, {p.passo}, false,
                 p.passo == kPassoReconexao ? Reconexao7 : nullptr);
}

// After a model-25 step that went through: the run reconnects, ends with the
// power-cycle notice and reads the device back (its text shows what the step
// stored, the clock included, hence "*").
Linhas Modelo25Aceito(Meio meio) {
    Linhas l{"OK.", kReconectando, kFinalizada, kAvisoDesligar, kLeituraIniciada};
    if (meio == Meio::Tcp) {
        l.push_back(Eco(kIpFabrica));
    }
    return l + FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", "*");
}

// Each way a reply can go wrong, for every step of model 25: the step's own
// failure lines; a reply past 2048 bytes still carries its acknowledgement.
std::vector<Caso> TabelaModelo25(Meio meio) {
    std::vector<Caso> casos;
    for (const PassoCaso& p : PassosModelo25()) {
        casos.push_back(CasoPasso(p, meio, "refuse", Falha::Recusar, p.falhou));
        casos.push_back(CasoPasso(p, meio, "close mid-reply", Falha::FecharNoMeio, p.falhou));
        casos.push_back(CasoPasso(p, meio, "short", Falha::RespostaCurta, p.falhou));
        casos.push_back(CasoPasso(p, meio, "garbage", Falha::Lixo, p.falhou));
        casos.push_back(CasoPasso(p, meio, "oversize", Falha::RespostaGigante, Modelo25Aceito(meio),
                                  std::chrono::milliseconds(10000)));
    }
    return casos;
}

TEST(FalhasExecucaoPassos, Modelo25PorTcp) {
    std::vector<Caso> casos = TabelaModelo25(Meio::Tcp);
    for (const PassoCaso& p : PassosModelo25()) {
        casos.push_back(CasoPasso(p, Meio::Tcp, "dropped", Falha::SumirSerial, p.falhou));
    }
    ExecutarTabela(casos);
}

TEST(FalhasExecucaoPassos, Modelo25PelaSerial) {
    ExecutarTabela(TabelaModelo25(Meio::Serial));
}

// Two steps on one link: the tail of the first step's oversize reply must not
// be taken for the second step's acknowledgement.
TEST(FalhasExecucaoPassos, RespostaGiganteNaoInvadeOPassoSeguinte) {
    Linhas doisPassos{kBanner,      kIniciada,
                      kVerificando, Eco(kIpFabrica),
                      kConectando,  "Enviando programação de relógio...",
                      "OK.",        "Reset da Memória de Massa..."};
    ExecutarTabela({
        Linha("P1 then P5", 25, Meio::Tcp, kAcaoProgramar, Falha::RespostaGigante, {'P', 1},
              doisPassos + Modelo25Aceito(Meio::Tcp), std::chrono::milliseconds(10000),
              {kPassoRelogio, kPassoMemoriaMassa}),
    });
}

// ---- the serial line vanishing under each step the serial medium reaches

TEST(FalhasExecucaoPassos, SerialSomeEmCadaPasso) {
    std::vector<Caso> casos;
    for (const auto* lista : {&PassosFamilia10(), &PassosModelo25()}) {
        for (const PassoCaso& p : *lista) {
            casos.push_back(CasoPasso(p, Meio::Serial, "vanish", Falha::SumirSerial, p.falhou));
        }
    }
    ExecutarTabela(casos);
}

// ---- replies past the channel's 2048 bytes: unframed blocks and Modbus

Linhas IpProgramadoTexto() {
    return {"IP programado:\r\nIP:10.0.0.50", "MASK:255.255.255.0", "GW:10.0.0.1"};
}
Linhas IpProgramadoNumerico() {
    return {"IP programado:\r\nIP:010.000.000.050", "MASK:255.255.255.000", "GW:010.000.000.001"};
}

TEST(FalhasExecucaoPassos, RespostaGiganteBlocosEModbus) {
    const Falha gigante = Falha::RespostaGigante;
    const auto fim = [](const char* resposta, Linhas ip) {
        return ProgTcp() + Linhas{kEnviandoIp, resposta, "OK", kFinalizada} + ip;
    };
    const Linhas fim21 = ProgTcp() + Linhas{kEnviandoIp,
                                            "",
                                            "OK",
                                            kFinalizada,
                                            kLeituraIniciada,
                                            Eco(kIpFabrica),
                                            "INFORMAÇÃO EXTRA",
                                            TextoRegistros("010.000.000.050", 0xFFFF, 3),
                                            "Leitura finalizada."};
    const Linhas entradas = ProgramacaoEntradasSemIp();
    const AlvoFalha r1280{{}, {}, 1280};
    const std::string texto9 = "Função: Gateway PC";
    ExecutarTabela({
        Linha("family 1 block", 8, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              fim("", IpProgramadoTexto())),
        Linha("family 6 block", 21, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              fim("MAC=02:B4:6D:00:15:65\r\n", IpProgramadoNumerico())),
        Linha("family 9 block", 27, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              fim("", IpProgramadoNumerico())),
        Linha("family 15 block", 19, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              fim("MAC=02:B4:6D:00:13:65\r\n", IpProgramadoNumerico())),
        Linha(
            "family 9 read block", 27, Meio::Tcp, kAcaoLer, gigante, kBloco,
            LeTcp() + FimLeitura("192.168.000.101", "255.255.255.000", "000.000.000.000", texto9)),
        Linha("MAC step block", 28, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              ProgTcp() +
                  Linhas{"Enviando programação de MAC...",
                         "Programação recebida:\r\nMAC=00:00:00:00:00:00\r\n", "OK.", kReconectando,
                         kEnviandoIp, "MAC=00:00:00:00:00:00\r\n", "OK", kFinalizada} +
                  IpProgramadoNumerico(),
              kRapido, {kPassoMac}),
        Linha("MAC, ID and SMS step block", 16, Meio::Tcp, kAcaoProgramar, gigante, kBloco,
              ProgTcp() +
                  Linhas{"Enviando programação de MAC, ID Telemetria e Celular SMS...",
                         "Programação recebida:\r\nMAC=00:00:00:00:00:00\r\nID=\r\n"
                         "Celular SMS=\r\n",
                         "OK.", kReconectando, kEnviandoIp, "", "OK", kFinalizada} +
                  IpProgramadoTexto(),
              kRapido, {kPassoMacIdSms}),
        Linha("Modbus IP write", 30, Meio::Tcp, kAcaoProgramar, gigante, kReg1282, fim21, kRapido,
              {}, true),
        Linha("Modbus input step", 30, Meio::Tcp, kAcaoProgramar, gigante, r1280, entradas, kRapido,
              {kPassoEntradasDigitais}, false,
              [](cEquipamento& e) { e.entradasDigitais = 0x00F0; }),
        // The read run reads 1280..1283, then the measurements on the same link.
        Linha("Modbus read", 30, Meio::Tcp, kAcaoLer, gigante, r1280,
              LeTcp() + Linhas{"INFORMAÇÃO EXTRA", TextoRegistros("192.168.000.101", 0xFFFF, 3),
                               "Leitura finalizada."}),
    });
}

}  // namespace
}  // namespace tvx
