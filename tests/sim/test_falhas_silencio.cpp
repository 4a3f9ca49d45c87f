// A device that takes each kind of request and answers nothing: the run
// waits out the time-out of that exchange (serial: the port's read time-out;
// TCP: the channel's 30 s) and ends with the exchange's failure lines, the
// link closed. Harness: falhas_apoio.h. The family-10 'L' 22 case of each
// medium is in test_falhas_execucao.cpp.
//
// Each TCP case costs 30 s, so each is a TEST of its own (ctest runs them side
// by side) and only the exchanges that differ at the channel level are here:
// - the framed steps ('L' 2, 'L' 20, 'L' 25/26/28, 'P' 1/4/5) wait and read
//   exactly as 'L' 22 does over TCP (one wait, one receive, the 0x06 test):
//   they are covered over serial, where each step's own end shows as well;
// - the unframed blocks of families 1, 6, 9 and 15 all wait and take one
//   receive: families 1 (60-byte text block) and 6 (70-byte record, echo
//   compared with the IP sent) stand for 9 and 15, which differ from 6 only
//   after a reply has come;
// - 'L' 31 is the one receive of a text, and the Modbus write goes through
//   the channel's own transaction.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "falhas_apoio.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;

constexpr auto kSilencioTcp = std::chrono::milliseconds(36000);
constexpr auto kSilencioSerial = std::chrono::milliseconds(36000);

TEST(FalhasExecucaoSilencio, CadaTrocaPelaSerial) {
    const Linhas inicio25{kBanner, kIniciada, kConectando};
    const auto passo25 = [&](const char* nome, uint8_t passo, AlvoFalha alvo, Linhas depois) {
        return Linha(nome, 25, Meio::Serial, kAcaoProgramar, Falha::Calar, alvo, inicio25 + depois,
                     kSilencioSerial, {passo}, false,
                     [](cEquipamento& e) { e.registroReconexao[8] = 7; });
    };
    ExecutarTabela({
        Linha("L31", 3, Meio::Serial, kAcaoLer, Falha::Calar, kL31, LeSerial() + Linhas{kFalhaRecv},
              kSilencioSerial),
        Linha("L2", 23, Meio::Serial, kAcaoProgramar, Falha::Calar, {'L', 2},
              ProgSerial() + Linhas{"Enviando programação de RTU e Velocidade...",
                                    kFalhaProgramacao, kFalhaRun},
              kSilencioSerial, {kPassoRtuVelocidade}),
        Linha("L20", 22, Meio::Serial, kAcaoProgramar, Falha::Calar, {'L', 20},
              ProgSerial() + Linhas{"Enviando programação de MAC...", kFalhaRun}, kSilencioSerial,
              {kPassoMacComando}),
        passo25("L25", kPassoTelemetria, {'L', 25},
                {"Enviando programação de ID e Operadora...", kFalhaRun}),
        passo25("L26", kPassoUrl, {'L', 26}, {"Enviando programação de URL...", kFalhaRun}),
        passo25("L28", kPassoReconexao, {'L', 28},
                {"Enviando programação do tempo de reconexão...", kFalhaRun}),
        passo25("P1", kPassoRelogio, {'P', 1},
                {"Enviando programação de relógio...", kFalhaProgramacao, kFalhaRun}),
        passo25("P5", kPassoMemoriaMassa, {'P', 5},
                {"Reset da Memória de Massa...", "Falha no reset da memória.", kFalhaRun}),
        passo25("P4", kPassoCamposMemoria, {'P', 4},
                {"Campos de Memória...", "Falha programação dos campos de memória.", kFalhaRun}),
    });
}

TEST(FalhasExecucaoSilencio, LeituraL31PorTcp) {
    ExecutarTabela({Linha("L31 tcp", 3, Meio::Tcp, kAcaoLer, Falha::Calar, kL31,
                          LeTcp() + Linhas{kFalhaRecv}, kSilencioTcp)});
}

TEST(FalhasExecucaoSilencio, BlocoFamilia1PorTcp) {
    ExecutarTabela({Linha("family 1 tcp", 8, Meio::Tcp, kAcaoProgramar, Falha::Calar, kBloco,
                          ProgTcp() + Linhas{kEnviandoIp, kFalhaRecv}, kSilencioTcp)});
}

TEST(FalhasExecucaoSilencio, BlocoFamilia6PorTcp) {
    ExecutarTabela({Linha("family 6 tcp", 21, Meio::Tcp, kAcaoProgramar, Falha::Calar, kBloco,
                          ProgTcp() + Linhas{kEnviandoIp, kFalhaRecv}, kSilencioTcp)});
}

TEST(FalhasExecucaoSilencio, Familia21ModbusPorTcp) {
    ExecutarTabela({Linha("family 21 tcp", 30, Meio::Tcp, kAcaoProgramar, Falha::Calar, kReg1282,
                          ProgTcp() + Linhas{kEnviandoIp, "Falha ao programar IP parte LOW"},
                          kSilencioTcp, {}, true)});
}

}  // namespace
}  // namespace tvx
