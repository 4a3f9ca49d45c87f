// Every exchange of every family against every way a device can fail:
// refusal, silence, a reply cut by a close, a short reply, garbage, a reply
// longer than the channel's 2048-byte buffer, the link dropped (over serial:
// the line vanishing) and, for the Modbus exchanges, an exception reply; and
// beside them the same run with the device behaving, the one home of each
// family's whole run. Harness: apoio.h.
//
// The restart command 'L' 24 is sent without waiting for a reply, so no
// fault of the device can change its run.
#include <gtest/gtest.h>

#include <map>
#include <semaphore>

#include "apoio.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;
using std::chrono::milliseconds;

enum class Meio { Tcp, Serial };

// How the run goes on after each fault it does not take for a failure. A
// reply past 2048 bytes carries the whole right reply in its first part: its
// run is the run of a device that behaves.
using Desfechos = std::map<Falha, Linhas>;

// One exchange of one family, and how a run ends when the device fails it.
struct Troca {
    std::string nome;
    uint32_t modelo;
    std::vector<Meio> meios;
    AlvoFalha alvo;
    Linhas ate;     // after the run's opening lines, up to the exchange
    Linhas falhou;  // after the exchange, when the run sees the fault
    Desfechos senao;
    uint32_t acao = kAcaoProgramar;
    std::vector<uint8_t> passos = {};
    std::function<void(cEquipamento&)> ajuste = {};
    bool alterarIp = false;
    // Faults besides silence that leave the run waiting out the time-out (a
    // cut that falls before the first byte is silence too).
    std::vector<Falha> esperam = {};
};

const std::vector<Meio> kTcp{Meio::Tcp};
const std::vector<Meio> kAmbos{Meio::Tcp, Meio::Serial};
const std::vector<Meio> kSerial{Meio::Serial};
const AlvoFalha kL22{'L', 22};
const AlvoFalha kL31{'L', 31};
const AlvoFalha kBloco{{}, {}, {}, true};
constexpr auto kRapido = milliseconds(8000);  // pings and pauses, no time-out

const char* const kFalhaProgramacao = "Falha na programação.";
const char* const kFalhaRecv = "Falha na recepção (recv).";
const char* const kFalhaRun = "Falha";  // the run's line after a failed extra step

Troca Prog(std::string nome, uint32_t modelo, std::vector<Meio> meios, AlvoFalha alvo, Linhas ate,
           Linhas falhou, Desfechos senao) {
    return {std::move(nome),   modelo,          meios, alvo, std::move(ate),
            std::move(falhou), std::move(senao)};
}

Troca Le(std::string nome, uint32_t modelo, std::vector<Meio> meios, AlvoFalha alvo,
         Desfechos senao) {
    return {std::move(nome), modelo, meios, alvo, {}, {kFalhaRecv}, std::move(senao), kAcaoLer};
}

// The lines a run shows over TCP before its first exchange with the device.
Linhas Abertura(const Troca& t) {
    if (t.acao == kAcaoLer) {
        return {kBanner, kLeituraIniciada, Eco(kIpFabrica)};
    }
    // Family 0, and family 21 without "Alterar IP?", leave the new address alone.
    const bool pingaIpNovo = t.modelo != 25 && (t.modelo != 30 || t.alterarIp);
    return Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica)} +
           (pingaIpNovo ? Linhas{kFalhaEco, kConectando} : Linhas{kConectando});
}

// Over a serial line the programming address is never pinged.
Linhas PelaSerial(Linhas linhas) {
    std::erase_if(linhas,
                  [](const std::string& l) { return l == kVerificando || l == Eco(kIpFabrica); });
    return linhas;
}

// One whole run against the device told to misbehave: it must end with the
// lines a technician is meant to see, within the time-outs, with the link
// closed, every line in the log and `programado` set only by a run that
// programmed the address.
void Executar(RedeIsolada& rede, const Troca& t, Meio meio, Falha falha, const Linhas& esperadas,
              milliseconds limite) {
    SCOPED_TRACE(t.nome + " " + sim::NomeFalha(falha) + (meio == Meio::Tcp ? " tcp" : " serial"));
    PrepararRede(rede);
    sim::Simulador sim(t.modelo);
    const std::string porta = meio == Meio::Serial ? sim.IniciarSerial() : "";
    ASSERT_TRUE(meio == Meio::Serial ? !porta.empty() : sim.IniciarTcp("0.0.0.0"));
    sim.DefinirFalha(falha, t.alvo);
    Bancada b(t.modelo, meio == Meio::Serial ? kMeioSerial
                        : t.modelo == 25     ? kMeioEsteIp  // reached on a typed address
                                             : kMeioIpPadrao);
    b.eq.SetPorta(porta);
    for (uint8_t p : t.passos) {
        b.Marcar(p);
    }
    b.eq.infoModelo.alterarIp = t.alterarIp;
    if (t.ajuste) {
        t.ajuste(b.eq);
    }
    // A log of its own, written as the programming page writes it.
    std::string pasta = (std::filesystem::temp_directory_path() / "tvxfalha.XXXXXX").string();
    ASSERT_NE(mkdtemp(pasta.data()), nullptr);
    cLog log;
    log.DefinirArquivo(pasta + "/tvxnetcfg.log");
    std::string mostrado;
    const auto inicio = std::chrono::steady_clock::now();
    const Linhas linhas = b.Executar(t.acao, [&](const std::string& l) {
        mostrado += ComoTerminal(l);
        log.Escrever(l);
    });
    const auto duracao =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - inicio);
    EXPECT_TRUE(SequenciaIgual(esperadas, linhas));
    EXPECT_LE(duracao, limite) << duracao.count() << " ms";
    EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid()) << "TCP link left open";
    EXPECT_FALSE(b.eq.canal.SerialAberta()) << "serial port left open";
    EXPECT_EQ(std::count(esperadas.begin(), esperadas.end(), "OK"), b.trabalhador.programado);
    const LogLido lido = LerLog(LerArquivo(pasta + "/tvxnetcfg.log"));
    EXPECT_TRUE(lido.crlf);
    EXPECT_EQ(mostrado, lido.texto) << "the log does not hold what the page showed";
    std::filesystem::remove_all(pasta);
}

using Casos = std::vector<std::pair<milliseconds, std::function<void(RedeIsolada&)>>>;

// Every fault over every medium of each exchange.
void Acrescentar(const std::vector<Troca>& trocas, Casos& casos) {
    for (const Troca& t : trocas) {
        std::vector<Falha> falhas{Falha::Nenhuma,         Falha::Recusar,       Falha::Calar,
                                  Falha::FecharNoMeio,    Falha::RespostaCurta, Falha::Lixo,
                                  Falha::RespostaGigante, Falha::SumirSerial};
        if (t.alvo.registro) {
            falhas.push_back(Falha::ExcecaoModbus);
        }
        for (Meio meio : t.meios) {
            for (Falha falha : falhas) {
                const auto d =
                    t.senao.find(falha == Falha::Nenhuma ? Falha::RespostaGigante : falha);
                Linhas esperadas =
                    Abertura(t) + t.ate + (d == t.senao.end() ? t.falhou : d->second);
                if (meio == Meio::Serial) {
                    esperadas = PelaSerial(esperadas);
                }
                // The mandated waits on top of the echoes and pauses: the
                // channel's time-out, the countdown after a restart.
                milliseconds limite = kRapido;
                if (falha == Falha::Calar ||
                    std::count(t.esperam.begin(), t.esperam.end(), falha)) {
                    limite += milliseconds(30000);
                }
                if (std::count(esperadas.begin(), esperadas.end(), "1s...")) {
                    limite += milliseconds(11000);
                }
                casos.emplace_back(limite, [=, &t](RedeIsolada& rede) {
                    Executar(rede, t, meio, falha, esperadas, limite);
                });
            }
        }
    }
}

Linhas FimLeituraFabrica(const char* nome, uint32_t modelo, const std::string& aviso = "") {
    return FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0",
                      TextoConfiguracao(nome, kIpFabrica, "255.255.255.0", "0.0.0.0", modelo),
                      aviso);
}

// The IP command went through on a model that is not restarted: the read
// that follows shows the addresses still in force.
Linhas Familia10Aceita(const char* nome, uint32_t modelo) {
    return Linhas{kIpOk, "OK", kFinalizada, kLeituraIniciada, Eco(kIpFabrica)} +
           FimLeituraFabrica(nome, modelo);
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
const char* const kLixoNumerico = "165.090.165.090";
const char* const kReprogrameMac = "Falha na programação.Reprograme o MAC.";
const char* const kMacZero = "MAC=00:00:00:00:00:00\r\n";
const Linhas kCortado = IpProgramado("010.000.000.050", "000.000.000.000", "000.000.000.000");
const Linhas kInteiro = IpProgramado("010.000.000.050", "255.255.255.000", "010.000.000.001");

// The address block of families 1, 6, 9 and 15.
Troca Bloco(const std::string& nome, uint32_t modelo, Desfechos senao) {
    return Prog(nome, modelo, kTcp, kBloco, {kEnviandoIp}, {kFalhaRecv}, std::move(senao));
}

// A block whose echo holds the addresses as numbers (families 9 and 15, the
// latter with its MAC in front; macInteiro empty for the former).
Troca BlocoNumerico(const std::string& nome, uint32_t modelo, const std::string& macInteiro) {
    const auto mac = [&](const std::string& valor) {
        return macInteiro.empty() ? std::string() : "MAC=" + valor + "\r\n";
    };
    return Bloco(
        nome, modelo,
        {{Falha::Recusar,
          BlocoAceito(mac("00:00:00:00:00:00"),
                      IpProgramado("021.021.021.021", "000.000.000.000", "000.000.000.000"))},
         {Falha::FecharNoMeio, BlocoAceito(mac("00:00:00:00:00:00"), kCortado)},
         {Falha::RespostaCurta, BlocoAceito(mac("00:00:00:00:00:00"), kCortado)},
         {Falha::Lixo, BlocoAceito(mac("A5:5A:A5:5A:A5:5A"),
                                   IpProgramado(kLixoNumerico, kLixoNumerico, kLixoNumerico))},
         {Falha::RespostaGigante, BlocoAceito(mac(macInteiro), kInteiro)}});
}

// One of the two register writes of the family-21 address; after it the
// device is read back at once.
Troca Familia21Ip(const std::string& parte, uint16_t registro) {
    Troca t = Prog("family 21 " + parte, 30, kTcp, AlvoFalha{{}, {}, registro}, {kEnviandoIp},
                   {"Falha ao programar IP parte " + parte},
                   {{Falha::RespostaGigante,
                     {"", "OK", kFinalizada, kLeituraIniciada, Eco(kIpFabrica), "INFORMAÇÃO EXTRA",
                      TextoRegistros("010.000.000.050", 0xFFFF, 3), "Leitura finalizada."}}});
    t.alterarIp = true;
    return t;
}

const Linhas kContagem{"10s...", "9s...", "8s...", "7s...", "6s...",
                       "5s...",  "4s...", "3s...", "2s...", "1s..."};

const std::vector<Troca> kProgramacaoDeIp{
    Prog("L22 family 10", 15, kTcp, kL22, {kEnviandoIp}, {kFalhaProgramacao},
         {{Falha::RespostaGigante, Familia10Aceita("TVX8100", 15)}}),
    // A plain frame's reply is its acknowledgement alone: cut short, nothing is sent.
    [] {
        Troca t = Prog("L22 plain frame", 18, kTcp, kL22, {kEnviandoIp}, {kFalhaProgramacao},
                       {{Falha::RespostaGigante, {kIpOk, "OK", kFinalizada}}});
        t.esperam = {Falha::RespostaCurta};
        return t;
    }(),
    Prog("L22 DLE frame", 22, kAmbos, kL22, {kEnviandoIp}, {kFalhaProgramacao},
         {{Falha::RespostaGigante, Familia10Aceita("TVX3500R", 22)}}),
    Prog("L22 with restart", 3, kSerial, kL22, {kEnviandoIp}, {kFalhaProgramacao},
         {{Falha::RespostaGigante,
           Linhas{kIpOk, "OK", kFinalizada, kReiniciado} + kContagem + Linhas{kLeituraIniciada} +
               FimLeitura(
                   "10.0.0.50", "255.255.255.0", "10.0.0.1",
                   TextoConfiguracao("TVX5150S", "10.0.0.50", "255.255.255.0", "10.0.0.1", 3))}}),
    Bloco("family 1 block", 8,
          // The NAK bytes of the echo are control characters: shown escaped.
          {{Falha::Recusar, BlocoAceito("", IpProgramado("\\x15\\x15\\x15\\x15", "", ""))},
           {Falha::FecharNoMeio, BlocoAceito("", IpProgramado("10.0", "", ""))},
           {Falha::RespostaCurta, BlocoAceito("", IpProgramado("10.0", "", ""))},
           {Falha::Lixo, BlocoAceito("", IpProgramado(kA5, kA5, kA5))},
           {Falha::RespostaGigante,
            BlocoAceito("", IpProgramado("10.0.0.50", "255.255.255.0", "10.0.0.1"))}}),
    Bloco("family 6 block", 21,
          {{Falha::Recusar, {kReprogrameMac}},
           {Falha::FecharNoMeio, BlocoAceito(kMacZero, kCortado)},
           {Falha::RespostaCurta, BlocoAceito(kMacZero, kCortado)},
           {Falha::Lixo, {kReprogrameMac}},
           {Falha::RespostaGigante, BlocoAceito("MAC=02:B4:6D:00:15:65\r\n", kInteiro)}}),
    BlocoNumerico("family 9 block", 27, ""),
    BlocoNumerico("family 15 block", 19, "02:B4:6D:00:13:65"),
    Familia21Ip("LOW", 1282),
    Familia21Ip("HIGH", 1283),
};

constexpr const char* kAvisoDesligar =
    "Para que a configuração entre em vigor é necessário desligar e ligar o equipamento.";
const Linhas kIpEReleitura{kEnviandoIp, kIpOk, "OK", kFinalizada};
const Linhas kModelo25{kFinalizada, kAvisoDesligar};
const std::string kMacRecebido = "Programação recebida:\r\nMAC=";
const std::string kCabecalho = "Programação do MAC inválido.Cabeçalho desconhecido:";

// A step that went through: the run reconnects, goes on and reads the device
// back ("*": its text shows what the step stored).
Desfechos PassoAceito(const Linhas& depoisDoPasso) {
    return {{Falha::RespostaGigante, Linhas{"OK.", kReconectando} + depoisDoPasso +
                                         Linhas{kLeituraIniciada, Eco(kIpFabrica)} +
                                         FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", "*")}};
}

// The extra step ticked, and the values it sends.
Troca ComPasso(Troca t, uint8_t passo, std::function<void(cEquipamento&)> ajuste = {}) {
    t.passos = {passo};
    t.ajuste = std::move(ajuste);
    return t;
}

// A framed step ("L2": command 'L', subcommand 2), over either medium.
Troca Comando(const char* nome, uint32_t modelo, uint8_t passo, const char* linha, Linhas falhou,
              const Linhas& depois, std::function<void(cEquipamento&)> ajuste = {}) {
    const AlvoFalha alvo{static_cast<uint8_t>(nome[0]), static_cast<uint8_t>(std::stoi(nome + 1))};
    return ComPasso(
        Prog(nome, modelo, kAmbos, alvo, {linha}, std::move(falhou), PassoAceito(depois)), passo,
        std::move(ajuste));
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

// Model 21's IP programming after the MAC step.
const Linhas kIpFamilia6 =
    Linhas{kEnviandoIp, "MAC=02:B4:6D:AA:BB:CC\r\n", "OK", kFinalizada} + kInteiro;
const Linhas kIpTexto{
    kEnviandoIp,          "",           "OK", kFinalizada, "IP programado:\r\nIP:10.0.0.50",
    "MASK:255.255.255.0", "GW:10.0.0.1"};

// A family-21 step that writes one register: any fault fails it, and a reply
// past 2048 bytes still answers the write; the device is read back at once.
Troca PassoRegistro(const std::string& oque, uint16_t registro, uint8_t passo,
                    std::function<void(cEquipamento&)> ajuste, uint16_t entradas, uint16_t saidas) {
    return ComPasso(
        Prog(oque + " " + std::to_string(registro), 30, kTcp,
             SoAPrimeira(AlvoFalha{{}, {}, registro}), {"Enviando programação de " + oque + "..."},
             {"Falha ao programar " + oque, kFalhaRun},
             {{Falha::RespostaGigante,
               {"OK.", kReconectando, kFinalizada, kLeituraIniciada, Eco(kIpFabrica),
                "INFORMAÇÃO EXTRA", TextoRegistros("192.168.000.101", entradas, saidas),
                "Leitura finalizada."}}}),
        passo, std::move(ajuste));
}

const std::vector<Troca> kPassosExtras{
    Comando("L2", 23, kPassoRtuVelocidade, "Enviando programação de RTU e Velocidade...",
            {kFalhaProgramacao, kFalhaRun}, kIpEReleitura),
    Comando("L20", 22, kPassoMacComando, "Enviando programação de MAC...", {kFalhaRun},
            kIpEReleitura),
    Comando("L25", 25, kPassoTelemetria, "Enviando programação de ID e Operadora...", {kFalhaRun},
            kModelo25),
    Comando("L26", 25, kPassoUrl, "Enviando programação de URL...", {kFalhaRun}, kModelo25),
    Comando("L28", 25, kPassoReconexao, "Enviando programação do tempo de reconexão...",
            {kFalhaRun}, kModelo25, [](cEquipamento& e) { e.registroReconexao[8] = 7; }),
    Comando("P1", 25, kPassoRelogio, "Enviando programação de relógio...",
            {kFalhaProgramacao, kFalhaRun}, kModelo25),
    Comando("P5", 25, kPassoMemoriaMassa, "Reset da Memória de Massa...",
            {"Falha no reset da memória.", kFalhaRun}, kModelo25),
    Comando("P4", 25, kPassoCamposMemoria, "Campos de Memória...",
            {"Falha programação dos campos de memória.", kFalhaRun}, kModelo25),
    // Only the "MAC=" heading of the echo is checked.
    ComPasso(
        Prog(
            "MAC block", 28, kTcp, SoAPrimeira(kBloco), {"Enviando programação de MAC..."},
            {kFalhaRecv, kFalhaRun},
            {{Falha::Recusar, {kCabecalho + "15 15 15 15 00 00 00 00 00 00", kFalhaRun}},
             {Falha::Lixo, {kCabecalho + "A5 5A A5 5A A5 5A A5 5A A5 5A", kFalhaRun}},
             {Falha::FecharNoMeio,
              Linhas{kMacRecebido + "00:00:00:00:00:00\r\n", "OK.", kReconectando} + kIpFamilia6},
             {Falha::RespostaCurta,
              Linhas{kMacRecebido + "00:00:00:00:00:00\r\n", "OK.", kReconectando} + kIpFamilia6},
             {Falha::RespostaGigante,
              Linhas{kMacRecebido + "02:B4:6D:AA:BB:CC\r\n", "OK.", kReconectando} + kIpFamilia6}}),
        kPassoMac, OpcoesDoBloco),
    // Nothing in the echo is checked: only a missing one fails.
    ComPasso(
        Prog(
            "MAC, ID and SMS block", 16, kTcp, SoAPrimeira(kBloco),
            {"Enviando programação de MAC, ID Telemetria e Celular SMS..."},
            {kFalhaRecv, kFalhaRun},
            {{Falha::Recusar, Linhas{kMacRecebido + "00:00:00:00:00:00\r\nID=\r\nCelular SMS=\r\n",
                                     "OK.", kReconectando} +
                                  kIpTexto},
             {Falha::FecharNoMeio, Linhas{"*", "OK.", kReconectando} + kIpTexto},
             {Falha::RespostaCurta, Linhas{"*", "OK.", kReconectando} + kIpTexto},
             {Falha::Lixo, Linhas{"*", "OK.", kReconectando} + kIpTexto},
             {Falha::RespostaGigante,
              Linhas{kMacRecebido + "02:B4:6D:AA:BB:CC\r\nID=POSTO7\r\nCelular SMS=11987654321\r\n",
                     "OK.", kReconectando} +
                  kIpTexto}}),
        kPassoMacIdSms, OpcoesDoBloco),
    PassoRegistro(
        "Entrada Digital", 1280, kPassoEntradasDigitais,
        [](cEquipamento& e) { e.entradasDigitais = 0x00F0; }, 0x00F0, 3),
    PassoRegistro(
        "Saída Digital", 1281, kPassoSaidasDigitais,
        [](cEquipamento& e) { e.saidasDigitais = 0x0005; }, 0xFFFF, 5),
};

// A read run shows whatever text or addresses a reply held: only a missing
// reply is a failure.
Desfechos L31(const char* nome, uint32_t modelo, const std::string& aviso,
              const std::string& recusa, const std::string& cortado) {
    return {{Falha::Recusar, FimLeitura("", "", "", recusa, aviso)},
            {Falha::FecharNoMeio, FimLeitura("", "", "", cortado, aviso)},
            {Falha::RespostaCurta, FimLeitura("", "", "", cortado, aviso)},
            {Falha::Lixo, FimLeitura("", "", "", "*", aviso)},
            {Falha::RespostaGigante, FimLeituraFabrica(nome, modelo, aviso)}};
}

// The family-21 read: a failed block leaves its part out, and the link lost
// takes the other block with it.
Linhas Registros(bool programacao, bool medicoes) {
    std::string t = TextoRegistros("192.168.000.101", 0xFFFF, 3);
    const size_t medicao = t.find("\r\nMedição:");
    t = !programacao ? t.substr(medicao) : !medicoes ? t.substr(0, medicao) : t;
    return {"INFORMAÇÃO EXTRA", t, "Leitura finalizada."};
}

const std::string kAvisoDip =
    "\r\n" + std::string(59, '*') +
    "\r\nAs informações são válidas somente se o equipamento\r\nnão está em modo de "
    "PROGRAMAÇÃO DE IP pela DIP!!\r\n" +
    std::string(59, '*') + "\r\n";

const std::vector<Troca> kLeitura{
    Le("L31", 3, kTcp, kL31, L31("TVX5150S", 3, "", "L  ", "")),
    Le("L31", 3, kSerial, kL31, L31("TVX5150S", 3, "", "L  ", "T")),
    Le("L31 plain frame", 17, kTcp, kL31, L31("TVX6300LST", 17, kAvisoDip, " L ", "TVX6")),
    Le("LER= block", 27, kTcp, kBloco,
       {{Falha::Recusar, FimLeitura("021.021.021.021", "000.000.000.000", "000.000.000.000", "")},
        {Falha::FecharNoMeio,
         FimLeitura("192.168.000.101", "000.000.000.000", "000.000.000.000", "")},
        {Falha::RespostaCurta,
         FimLeitura("192.168.000.101", "000.000.000.000", "000.000.000.000", "")},
        {Falha::Lixo, FimLeitura("165.090.165.090", "165.090.165.090", "165.090.165.090", "")},
        {Falha::RespostaGigante, FimLeitura("192.168.000.101", "255.255.255.000", "000.000.000.000",
                                            "Função: Gateway PC")}}),
    Le("registers 1280", 30, kTcp, SoAPrimeira(AlvoFalha{{}, {}, 1280}),
       {{Falha::Recusar, Registros(false, true)},
        {Falha::RespostaCurta, Registros(false, true)},
        {Falha::Lixo, Registros(false, true)},
        {Falha::ExcecaoModbus, Registros(false, true)},
        {Falha::RespostaGigante, Registros(true, true)}}),
    Le("measurements 1024", 30, kTcp, AlvoFalha{{}, {}, 1024},
       {{Falha::Recusar, Registros(true, false)},
        {Falha::Calar, Registros(true, false)},
        {Falha::FecharNoMeio, Registros(true, false)},
        {Falha::RespostaCurta, Registros(true, false)},
        {Falha::Lixo, Registros(true, false)},
        {Falha::SumirSerial, Registros(true, false)},
        {Falha::ExcecaoModbus, Registros(true, false)},
        {Falha::RespostaGigante, Registros(true, true)}}),
};

// Two steps on one link: the tail of the first step's oversize reply must not
// be taken for the second step's acknowledgement.
const Troca kDoisPassos = [] {
    Troca t = Prog("P1 then P5", 25, kTcp, {'P', 1}, {}, {}, {});
    t.passos = {kPassoRelogio, kPassoMemoriaMassa};
    return t;
}();

TEST(FalhasMatriz, TodasAsTrocas) {
    Casos casos;
    Acrescentar(kProgramacaoDeIp, casos);
    Acrescentar(kPassosExtras, casos);
    Acrescentar(kLeitura, casos);
    casos.emplace_back(milliseconds(10000), [](RedeIsolada& rede) {
        Executar(rede, kDoisPassos, Meio::Tcp, Falha::RespostaGigante,
                 Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kConectando,
                        "Enviando programação de relógio...", "OK.", "Reset da Memória de Massa...",
                        "OK.", kReconectando, kFinalizada, kAvisoDesligar, kLeituraIniciada,
                        Eco(kIpFabrica)} +
                     FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", "*"),
                 milliseconds(10000));
    });
    // The cases that wait out the channel's time-out sit idle: they all start
    // first, beside at most six busy ones. More busy ones at once starve the
    // simulated serial lines of the processor on a loaded two-core machine
    // (a sanitizer build, another test beside): a reply then misses its
    // one-second wait.
    std::stable_sort(casos.begin(), casos.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::counting_semaphore<6> ocupados(6);
    std::vector<std::function<void(RedeIsolada&)>> corpos;
    for (const auto& [limite, corpo] : casos) {
        corpos.push_back([&, ocioso = limite >= milliseconds(30000), corpo](RedeIsolada& rede) {
            if (!ocioso) {
                ocupados.acquire();
            }
            corpo(rede);
            if (!ocioso) {
                ocupados.release();
            }
        });
    }
    ExecutarLadoALado(corpos, 48);
}

}  // namespace
}  // namespace tvx
