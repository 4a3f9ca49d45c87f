// Every exchange of every family against every way a device can fail:
// refusal, silence, a reply cut by a close, a short reply, garbage, a reply
// longer than the channel's 2048-byte buffer, the link dropped (over serial:
// the line vanishing) and, for the Modbus exchanges, an exception reply; and
// beside them the same run with the device behaving. Each case is a whole
// run; harness: falhas_apoio.h.
//
// The restart command 'L' 24 is sent without waiting for a reply, so no
// fault of the device can change its run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "falhas_apoio.h"
#include "sim/falhas.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;
using std::chrono::milliseconds;

// One exchange of one family, and how a run ends when the device fails it.
struct Troca {
    std::string nome;
    uint32_t modelo;
    std::vector<Meio> meios;
    uint32_t acao;
    AlvoFalha alvo;
    Linhas ate;     // after the run's opening lines, up to the exchange
    Linhas falhou;  // after the exchange, when the run sees the fault
    // The rest of the run for the faults it does not see as a failure.
    std::function<std::optional<Linhas>(Falha, Meio)> senao = {};
    std::vector<uint8_t> passos = {};
    bool alterarIp = false;
    std::function<void(cEquipamento&)> ajuste = {};
    // Faults besides silence that leave the run waiting out the time-out (a
    // cut that falls before the first byte is silence too).
    std::vector<Falha> esperam = {};
};

using Desfechos = std::map<Falha, Linhas>;
// The same other ends over either medium.
std::function<std::optional<Linhas>(Falha, Meio)> Senao(Desfechos desfechos) {
    return [desfechos](Falha falha, Meio) -> std::optional<Linhas> {
        const auto d = desfechos.find(falha);
        if (d == desfechos.end()) {
            return std::nullopt;
        }
        return d->second;
    };
}

// The read run that follows a programming run, from the device at the
// factory address (over TCP it is pinged first).
Linhas LeituraDepois(Meio meio, const Linhas& fim) {
    return (meio == Meio::Tcp ? Linhas{kLeituraIniciada, Eco(kIpFabrica)}
                              : Linhas{kLeituraIniciada}) +
           fim;
}

// Nenhuma first: the exchange done right, the run every fault is set against.
const std::vector<Falha> kFalhas{Falha::Nenhuma,         Falha::Recusar,       Falha::Calar,
                                 Falha::FecharNoMeio,    Falha::RespostaCurta, Falha::Lixo,
                                 Falha::RespostaGigante, Falha::SumirSerial};

// The lines a run shows before its first exchange with the device.
Linhas Abertura(const Troca& t, Meio meio) {
    if (t.acao == kAcaoLer) {
        return meio == Meio::Tcp ? LeTcp() : LeSerial();
    }
    cEquipamento e;
    e.SetModelo(t.modelo);
    e.CarregaInfoModelo();
    const bool pingaIpNovo =
        e.Familia() != kFamiliaNenhuma && (e.Familia() != kFamiliaRegistros || t.alterarIp);
    if (pingaIpNovo) {
        return meio == Meio::Tcp ? ProgTcp() : ProgSerial();
    }
    return meio == Meio::Tcp
               ? Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kConectando}
               : Linhas{kBanner, kIniciada, kConectando};
}

template <typename T>
bool Contem(const std::vector<T>& lista, const T& item) {
    return std::find(lista.begin(), lista.end(), item) != lista.end();
}

std::vector<Caso> Casos(const std::vector<Troca>& trocas) {
    std::vector<Caso> casos;
    for (const Troca& t : trocas) {
        std::vector<Falha> falhas = kFalhas;
        if (t.alvo.registro) {
            falhas.push_back(Falha::ExcecaoModbus);
        }
        for (Meio meio : t.meios) {
            for (Falha falha : falhas) {
                // A reply past 2048 bytes carries the whole right reply in its
                // first part: its run must be the run of a device that behaves.
                const Falha comoSe = falha == Falha::Nenhuma ? Falha::RespostaGigante : falha;
                Linhas depois = t.falhou;
                if (t.senao) {
                    if (std::optional<Linhas> outras = t.senao(comoSe, meio)) {
                        depois = *outras;
                    }
                }
                const Linhas esperadas = Abertura(t, meio) + t.ate + depois;
                // The mandated waits on top of the echoes and pauses: the
                // channel's time-out, the countdown after a restart.
                milliseconds limite = kRapido;
                if (falha == Falha::Calar || Contem(t.esperam, falha)) {
                    limite += milliseconds(30000);
                }
                if (Contem(esperadas, std::string("1s..."))) {
                    limite += milliseconds(11000);
                }
                casos.push_back(Linha(
                    t.nome + " " + sim::NomeFalha(falha) + (meio == Meio::Tcp ? " tcp" : " serial"),
                    t.modelo, meio, t.acao, falha, t.alvo, esperadas, limite, t.passos, t.alterarIp,
                    t.ajuste));
            }
        }
    }
    return casos;
}

const std::vector<Meio> kTcp{Meio::Tcp};
const std::vector<Meio> kAmbos{Meio::Tcp, Meio::Serial};
const std::vector<Meio> kSerial{Meio::Serial};

// What the device at the factory address shows on the read that follows.
Linhas FimLeituraFabrica(const char* nome, uint32_t modelo) {
    return FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0",
                      TextoConfiguracao(nome, kIpFabrica, "255.255.255.0", "0.0.0.0", modelo));
}

// After the IP command went through on a model that is not restarted.
std::function<std::optional<Linhas>(Falha, Meio)> Familia10Aceita(const char* nome,
                                                                  uint32_t modelo) {
    return [=](Falha falha, Meio meio) -> std::optional<Linhas> {
        if (falha != Falha::RespostaGigante) {
            return std::nullopt;
        }
        return Linhas{kIpOk, "OK", kFinalizada} +
               LeituraDepois(meio, FimLeituraFabrica(nome, modelo));
    };
}

Linhas IpProgramado(const std::string& ip, const std::string& mascara, const std::string& gateway) {
    return {"IP programado:\r\nIP:" + ip, "MASK:" + mascara, "GW:" + gateway};
}

// A block exchange ends "OK" with whatever addresses its echo held: only a
// missing echo is a failure there, and family 6 compares the address.
Linhas BlocoAceito(const std::string& resposta, Linhas enderecos) {
    return Linhas{resposta, "OK", kFinalizada} + enderecos;
}

const std::string kA5("\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z\u00A5Z");
const char* const kGarbageNumerico = "165.090.165.090";
const char* const kReprogrameMac = "Falha na programação.Reprograme o MAC.";
const char* const kMacZero = "MAC=00:00:00:00:00:00\r\n";

// The family-21 run after the new address went in: read back at once.
Linhas Familia21Aceita() {
    return {"",
            "OK",
            kFinalizada,
            kLeituraIniciada,
            Eco(kIpFabrica),
            "INFORMAÇÃO EXTRA",
            TextoRegistros("010.000.000.050", 0xFFFF, 3),
            "Leitura finalizada."};
}

const Linhas kCortado = IpProgramado("010.000.000.050", "000.000.000.000", "000.000.000.000");
const Linhas kInteiro = IpProgramado("010.000.000.050", "255.255.255.000", "010.000.000.001");

// The address block of families 1, 6, 9 and 15: only a missing echo fails
// the run by itself.
Troca BlocoDeEndereco(const std::string& nome, uint32_t modelo, Desfechos senao) {
    return {nome,   modelo,        kTcp,         kAcaoProgramar,
            kBloco, {kEnviandoIp}, {kFalhaRecv}, Senao(std::move(senao))};
}

// A block whose echo holds the addresses as numbers (families 9 and 15, the
// latter with its MAC in front; macInteiro empty for the former).
Troca BlocoNumerico(const std::string& nome, uint32_t modelo, const std::string& macInteiro) {
    const auto mac = [&](const std::string& valor) {
        return macInteiro.empty() ? std::string() : "MAC=" + valor + "\r\n";
    };
    const Linhas lixo = IpProgramado(kGarbageNumerico, kGarbageNumerico, kGarbageNumerico);
    const Linhas nak = IpProgramado("021.021.021.021", "000.000.000.000", "000.000.000.000");
    return BlocoDeEndereco(
        nome, modelo,
        {
            {Falha::Recusar, BlocoAceito(mac("00:00:00:00:00:00"), nak)},
            {Falha::FecharNoMeio, BlocoAceito(mac("00:00:00:00:00:00"), kCortado)},
            {Falha::RespostaCurta, BlocoAceito(mac("00:00:00:00:00:00"), kCortado)},
            {Falha::Lixo, BlocoAceito(mac("A5:5A:A5:5A:A5:5A"), lixo)},
            {Falha::RespostaGigante, BlocoAceito(mac(macInteiro), kInteiro)},
        });
}

// One of the two register writes of the family-21 address.
Troca Familia21Ip(const std::string& parte, uint16_t registro) {
    return {"family 21 " + parte,
            30,
            kTcp,
            kAcaoProgramar,
            AlvoFalha{{}, {}, registro},
            {kEnviandoIp},
            {"Falha ao programar IP parte " + parte},
            Senao({{Falha::RespostaGigante, Familia21Aceita()}}),
            {},
            true};
}

TEST(FalhasMatriz, ProgramacaoDeIp) {
    ExecutarLadoALado(Casos({
        {"L22 family 10",
         15,
         kTcp,
         kAcaoProgramar,
         kL22,
         {kEnviandoIp},
         {kFalhaProgramacao},
         Familia10Aceita("TVX8100", 15)},
        // A plain frame's reply is its acknowledgement alone: cut short, nothing is sent.
        {"L22 plain frame",
         18,
         kTcp,
         kAcaoProgramar,
         kL22,
         {kEnviandoIp},
         {kFalhaProgramacao},
         Senao({{Falha::RespostaGigante, {kIpOk, "OK", kFinalizada}}}),
         {},
         false,
         {},
         {Falha::RespostaCurta}},
        {"L22 DLE frame",
         22,
         kAmbos,
         kAcaoProgramar,
         kL22,
         {kEnviandoIp},
         {kFalhaProgramacao},
         Familia10Aceita("TVX3500R", 22)},
        {"L22 with restart",
         3,
         kSerial,
         kAcaoProgramar,
         kL22,
         {kEnviandoIp},
         {kFalhaProgramacao},
         Senao({{Falha::RespostaGigante,
                 Linhas{kIpOk, "OK", kFinalizada, kReiniciado} + Contagem() +
                     Linhas{kLeituraIniciada} +
                     FimLeitura("10.0.0.50", "255.255.255.0", "10.0.0.1",
                                TextoConfiguracao("TVX5150S", "10.0.0.50", "255.255.255.0",
                                                  "10.0.0.1", 3))}})},
        BlocoDeEndereco(
            "family 1 block", 8,
            {
                // The NAK bytes of the echo are control characters: shown escaped.
                {Falha::Recusar, BlocoAceito("", IpProgramado("\\x15\\x15\\x15\\x15", "", ""))},
                {Falha::FecharNoMeio, BlocoAceito("", IpProgramado("10.0", "", ""))},
                {Falha::RespostaCurta, BlocoAceito("", IpProgramado("10.0", "", ""))},
                {Falha::Lixo, BlocoAceito("", IpProgramado(kA5, kA5, kA5))},
                {Falha::RespostaGigante,
                 BlocoAceito("", IpProgramado("10.0.0.50", "255.255.255.0", "10.0.0.1"))},
            }),
        BlocoDeEndereco(
            "family 6 block", 21,
            {
                {Falha::Recusar, {kReprogrameMac}},
                {Falha::FecharNoMeio, BlocoAceito(kMacZero, kCortado)},
                {Falha::RespostaCurta, BlocoAceito(kMacZero, kCortado)},
                {Falha::Lixo, {kReprogrameMac}},
                {Falha::RespostaGigante, BlocoAceito("MAC=02:B4:6D:00:15:65\r\n", kInteiro)},
            }),
        BlocoNumerico("family 9 block", 27, ""),
        BlocoNumerico("family 15 block", 19, "02:B4:6D:00:13:65"),
        Familia21Ip("LOW", 1282),
        Familia21Ip("HIGH", 1283),
    }));
}

void Reconexao7(cEquipamento& e) {
    e.registroReconexao[8] = 7;  // a reconnection time the device takes
}

constexpr const char* kAvisoDesligar =
    "Para que a configuração entre em vigor é necessário desligar e ligar o equipamento.";

// A step that went through: the run reconnects, goes on and reads the device
// back ("*": its text shows what the step stored).
std::function<std::optional<Linhas>(Falha, Meio)> PassoAceito(Linhas depoisDoPasso) {
    return [=](Falha falha, Meio meio) -> std::optional<Linhas> {
        if (falha != Falha::RespostaGigante) {
            return std::nullopt;
        }
        return Linhas{"OK.", kReconectando} + depoisDoPasso +
               LeituraDepois(meio, FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", "*"));
    };
}

// The fault hits the step's request only, not the blocks of the IP
// programming or the reads that follow it.
AlvoFalha SoAPrimeira(AlvoFalha alvo) {
    alvo.ocorrencias = 1;
    return alvo;
}

void OpcoesDoBloco(cEquipamento& e) {
    e.infoModelo.opcoes[kOpcaoMac].valor = "02:B4:6D:AA:BB:CC";
    e.infoModelo.opcoes[kOpcaoIdTelemetria].valor = "POSTO7";
    e.infoModelo.opcoes[kOpcaoCelularSms].valor = "11987654321";
}

// Model 21's IP programming after a step.
Linhas IpFamilia6(const std::string& mac) {
    return Linhas{kEnviandoIp, "MAC=" + mac + "\r\n", "OK", kFinalizada} +
           IpProgramado("010.000.000.050", "255.255.255.000", "010.000.000.001");
}

// A family-21 step that writes one register: any fault fails it, and a
// reply past 2048 bytes still answers the write.
Troca PassoRegistro(const std::string& nome, uint16_t registro, uint8_t passo,
                    const std::string& oque, std::function<void(cEquipamento&)> ajuste,
                    const Linhas& aceito) {
    return {nome + " " + std::to_string(registro),
            30,
            kTcp,
            kAcaoProgramar,
            SoAPrimeira(AlvoFalha{{}, {}, registro}),
            {"Enviando programação de " + oque + "..."},
            {"Falha ao programar " + oque, kFalhaRun},
            Senao({{Falha::RespostaGigante, aceito}}),
            {passo},
            false,
            std::move(ajuste)};
}

TEST(FalhasMatriz, PassosExtras) {
    const Linhas ipEReleitura{kEnviandoIp, kIpOk, "OK", kFinalizada};
    const Linhas modelo25{kFinalizada, kAvisoDesligar};
    const std::string macRecebido = "Programação recebida:\r\nMAC=";
    const std::string cabecalho = "Programação do MAC inválido.Cabeçalho desconhecido:";
    const Linhas ipTexto{
        kEnviandoIp,          "",           "OK", kFinalizada, "IP programado:\r\nIP:10.0.0.50",
        "MASK:255.255.255.0", "GW:10.0.0.1"};
    const auto entradas = [](uint16_t e, uint16_t s) {
        return Linhas{"OK.",
                      kReconectando,
                      kFinalizada,
                      kLeituraIniciada,
                      Eco(kIpFabrica),
                      "INFORMAÇÃO EXTRA",
                      TextoRegistros("192.168.000.101", e, s),
                      "Leitura finalizada."};
    };
    ExecutarLadoALado(Casos({
        {"L2",
         23,
         kAmbos,
         kAcaoProgramar,
         {'L', 2},
         {"Enviando programação de RTU e Velocidade..."},
         {kFalhaProgramacao, kFalhaRun},
         PassoAceito(ipEReleitura),
         {kPassoRtuVelocidade}},
        {"L20",
         22,
         kAmbos,
         kAcaoProgramar,
         {'L', 20},
         {"Enviando programação de MAC..."},
         {kFalhaRun},
         PassoAceito(ipEReleitura),
         {kPassoMacComando}},
        {"L25",
         25,
         kAmbos,
         kAcaoProgramar,
         {'L', 25},
         {"Enviando programação de ID e Operadora..."},
         {kFalhaRun},
         PassoAceito(modelo25),
         {kPassoTelemetria}},
        {"L26",
         25,
         kAmbos,
         kAcaoProgramar,
         {'L', 26},
         {"Enviando programação de URL..."},
         {kFalhaRun},
         PassoAceito(modelo25),
         {kPassoUrl}},
        {"L28",
         25,
         kAmbos,
         kAcaoProgramar,
         {'L', 28},
         {"Enviando programação do tempo de reconexão..."},
         {kFalhaRun},
         PassoAceito(modelo25),
         {kPassoReconexao},
         false,
         Reconexao7},
        {"P1",
         25,
         kAmbos,
         kAcaoProgramar,
         {'P', 1},
         {"Enviando programação de relógio..."},
         {kFalhaProgramacao, kFalhaRun},
         PassoAceito(modelo25),
         {kPassoRelogio}},
        {"P5",
         25,
         kAmbos,
         kAcaoProgramar,
         {'P', 5},
         {"Reset da Memória de Massa..."},
         {"Falha no reset da memória.", kFalhaRun},
         PassoAceito(modelo25),
         {kPassoMemoriaMassa}},
        {"P4",
         25,
         kAmbos,
         kAcaoProgramar,
         {'P', 4},
         {"Campos de Memória..."},
         {"Falha programação dos campos de memória.", kFalhaRun},
         PassoAceito(modelo25),
         {kPassoCamposMemoria}},
        // Only the "MAC=" heading of the echo is checked.
        {"MAC block",
         28,
         kTcp,
         kAcaoProgramar,
         SoAPrimeira(kBloco),
         {"Enviando programação de MAC..."},
         {kFalhaRecv, kFalhaRun},
         Senao({
             {Falha::Recusar, {cabecalho + "15 15 15 15 00 00 00 00 00 00", kFalhaRun}},
             {Falha::Lixo, {cabecalho + "A5 5A A5 5A A5 5A A5 5A A5 5A", kFalhaRun}},
             {Falha::FecharNoMeio,
              Linhas{macRecebido + "00:00:00:00:00:00\r\n", "OK.", kReconectando} +
                  IpFamilia6("02:B4:6D:AA:BB:CC")},
             {Falha::RespostaCurta,
              Linhas{macRecebido + "00:00:00:00:00:00\r\n", "OK.", kReconectando} +
                  IpFamilia6("02:B4:6D:AA:BB:CC")},
             {Falha::RespostaGigante,
              Linhas{macRecebido + "02:B4:6D:AA:BB:CC\r\n", "OK.", kReconectando} +
                  IpFamilia6("02:B4:6D:AA:BB:CC")},
         }),
         {kPassoMac},
         false,
         OpcoesDoBloco},
        // Nothing in the echo is checked: only a missing one fails.
        {"MAC, ID and SMS block",
         16,
         kTcp,
         kAcaoProgramar,
         SoAPrimeira(kBloco),
         {"Enviando programação de MAC, ID Telemetria e Celular SMS..."},
         {kFalhaRecv, kFalhaRun},
         Senao({
             {Falha::Recusar, Linhas{macRecebido + "00:00:00:00:00:00\r\nID=\r\nCelular SMS=\r\n",
                                     "OK.", kReconectando} +
                                  ipTexto},
             {Falha::FecharNoMeio, Linhas{"*", "OK.", kReconectando} + ipTexto},
             {Falha::RespostaCurta, Linhas{"*", "OK.", kReconectando} + ipTexto},
             {Falha::Lixo, Linhas{"*", "OK.", kReconectando} + ipTexto},
             {Falha::RespostaGigante,
              Linhas{macRecebido + "02:B4:6D:AA:BB:CC\r\nID=POSTO7\r\nCelular SMS=11987654321\r\n",
                     "OK.", kReconectando} +
                  ipTexto},
         }),
         {kPassoMacIdSms},
         false,
         OpcoesDoBloco},
        PassoRegistro(
            "inputs", 1280, kPassoEntradasDigitais, "Entrada Digital",
            [](cEquipamento& e) { e.entradasDigitais = 0x00F0; }, entradas(0x00F0, 3)),
        PassoRegistro(
            "outputs", 1281, kPassoSaidasDigitais, "Saída Digital",
            [](cEquipamento& e) { e.saidasDigitais = 0x0005; }, entradas(0xFFFF, 5)),
    }));
}

// A read run shows whatever text or addresses a reply held: only a missing
// reply is a failure, and for the Modbus model a reply to neither block.
TEST(FalhasMatriz, Leitura) {
    const auto l31 = [&](const std::string& nome, uint32_t modelo, const std::string& aviso,
                         const std::string& recusa, const std::string& cortado) {
        return [=](Falha falha, Meio) -> std::optional<Linhas> {
            switch (falha) {
                case Falha::Recusar:
                    return FimLeitura("", "", "", recusa, aviso);
                case Falha::FecharNoMeio:
                case Falha::RespostaCurta:
                    return FimLeitura("", "", "", cortado, aviso);
                case Falha::Lixo:
                    return FimLeitura("", "", "", "*", aviso);
                case Falha::RespostaGigante:
                    return FimLeitura(
                        kIpFabrica, "255.255.255.0", "0.0.0.0",
                        TextoConfiguracao(nome, kIpFabrica, "255.255.255.0", "0.0.0.0", modelo),
                        aviso);
                default:
                    return std::nullopt;
            }
        };
    };
    const auto registros = [](bool programacao, bool medicoes) {
        std::string t = TextoRegistros("192.168.000.101", 0xFFFF, 3);
        const size_t medicao = t.find("\r\nMedição:");
        if (!programacao) {
            t = t.substr(medicao);
        } else if (!medicoes) {
            t = t.substr(0, medicao);
        }
        return Linhas{"INFORMAÇÃO EXTRA", t, "Leitura finalizada."};
    };
    ExecutarLadoALado(Casos({
        {"L31", 3, kTcp, kAcaoLer, kL31, {}, {kFalhaRecv}, l31("TVX5150S", 3, "", "L  ", "")},
        {"L31", 3, kSerial, kAcaoLer, kL31, {}, {kFalhaRecv}, l31("TVX5150S", 3, "", "L  ", "T")},
        {"L31 plain frame",
         17,
         kTcp,
         kAcaoLer,
         kL31,
         {},
         {kFalhaRecv},
         l31("TVX6300LST", 17, AvisoDip(), " L ", "TVX6")},
        {"LER= block",
         27,
         kTcp,
         kAcaoLer,
         kBloco,
         {},
         {kFalhaRecv},
         Senao({
             {Falha::Recusar,
              FimLeitura("021.021.021.021", "000.000.000.000", "000.000.000.000", "")},
             {Falha::FecharNoMeio,
              FimLeitura("192.168.000.101", "000.000.000.000", "000.000.000.000", "")},
             {Falha::RespostaCurta,
              FimLeitura("192.168.000.101", "000.000.000.000", "000.000.000.000", "")},
             {Falha::Lixo, FimLeitura("165.090.165.090", "165.090.165.090", "165.090.165.090", "")},
             {Falha::RespostaGigante, FimLeitura("192.168.000.101", "255.255.255.000",
                                                 "000.000.000.000", "Função: Gateway PC")},
         })},
        // A failed block leaves its part out; the link lost takes the other
        // block with it.
        {"registers 1280",
         30,
         kTcp,
         kAcaoLer,
         SoAPrimeira(AlvoFalha{{}, {}, 1280}),
         {},
         {kFalhaRecv},
         Senao({{Falha::Recusar, registros(false, true)},
                {Falha::RespostaCurta, registros(false, true)},
                {Falha::Lixo, registros(false, true)},
                {Falha::ExcecaoModbus, registros(false, true)},
                {Falha::RespostaGigante, registros(true, true)}})},
        {"measurements 1024",
         30,
         kTcp,
         kAcaoLer,
         AlvoFalha{{}, {}, 1024},
         {},
         {kFalhaRecv},
         Senao({{Falha::Recusar, registros(true, false)},
                {Falha::Calar, registros(true, false)},
                {Falha::FecharNoMeio, registros(true, false)},
                {Falha::RespostaCurta, registros(true, false)},
                {Falha::Lixo, registros(true, false)},
                {Falha::SumirSerial, registros(true, false)},
                {Falha::ExcecaoModbus, registros(true, false)},
                {Falha::RespostaGigante, registros(true, true)}})},
    }));
}

// Two steps on one link: the tail of the first step's oversize reply must not
// be taken for the second step's acknowledgement.
TEST(FalhasMatriz, RespostaGiganteNaoInvadeOPassoSeguinte) {
    const Linhas doisPassos{kBanner,
                            kIniciada,
                            kVerificando,
                            Eco(kIpFabrica),
                            kConectando,
                            "Enviando programação de relógio...",
                            "OK.",
                            "Reset da Memória de Massa...",
                            "OK.",
                            kReconectando,
                            kFinalizada,
                            kAvisoDesligar,
                            kLeituraIniciada,
                            Eco(kIpFabrica)};
    ExecutarLadoALado({
        Linha("P1 then P5", 25, Meio::Tcp, kAcaoProgramar, Falha::RespostaGigante, {'P', 1},
              doisPassos + FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", "*"),
              milliseconds(10000), {kPassoRelogio, kPassoMemoriaMassa}),
    });
}

}  // namespace
}  // namespace tvx
