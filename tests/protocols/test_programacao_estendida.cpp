// The extra steps and the restart command: the payload of every step on the
// wire, the progress lines of the sequence, how each kind of step ends the
// sequence when it fails, and the state of the link afterwards.
#include <gtest/gtest.h>

#include <memory>

#include "bancada.h"

namespace tvx {
namespace {

using namespace teste;

const char* const kMac = "00 1A 2B 3C 4D 5E";

std::string Anuncio(uint8_t id) {
    switch (id) {
        case 2:
            return "Enviando programação de MAC, ID Telemetria e Celular SMS...";
        case 11:
        case 16:
            return "Enviando programação de MAC...";
        case 12:
            return "Enviando programação de RTU e Velocidade...";
        case 13:
            return "Enviando programação de ID e Operadora...";
        case 14:
            return "Enviando programação de URL...";
        case 17:
            return "Enviando programação do tempo de reconexão...";
        case 18:
            return "Enviando programação de relógio...";
        case 19:
            return "Reset da Memória de Massa...";
        case 20:
            return "Campos de Memória...";
        case 22:
            return "Enviando programação de Entrada Digital...";
        default:
            return "Enviando programação de Saída Digital...";
    }
}

// The progress lines of a sequence: each step's announcement and its outcome.
std::string Linhas(std::initializer_list<std::pair<uint8_t, const char*>> passos,
                   bool reconectar = true) {
    std::string linhas;
    for (const auto& [id, fim] : passos) {
        linhas += (id ? Anuncio(id) + "|" : "") + (fim ? std::string(fim) + "|" : "");
    }
    return linhas + (reconectar ? "reconectar" : "");
}

std::function<void(Bancada&)> Marcar(std::initializer_list<uint8_t> ids,
                                     std::function<void(Bancada&)> depois = {}) {
    const std::vector<uint8_t> lista(ids);
    return [lista, depois](Bancada& b) {
        for (uint8_t id : lista) {
            b.Marcar({id});
        }
        if (depois) {
            depois(b);
        }
    };
}

void Mac(Bancada& b) {
    b.e.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
}

void RtuVelocidade(Bancada& b) {
    b.e.registroRtuVelocidade[8] = 7;
    b.e.registroRtuVelocidade[9] = 9;
}

const std::string kRecebida = "Programação recebida:\r\nMAC=00:1A:2B:3C:4D:5E\r\n";
const std::string kEscritaEntradas = "00 00 00 00 00 09 01 10 05 00 00 01 02 ";
const std::string kEscritaSaidas = "00 00 00 00 00 09 01 10 05 01 00 01 02 ";
const Bytes kFeito1280 = Hex("00 00 00 00 00 06 01 10 05 00 00 01");

Bytes CamposMemoria(const char* entrada) {
    Bytes campos(866, 0);
    for (int i = 0; i < 3; ++i) {
        const Bytes e = Hex(entrada);
        std::copy(e.begin(), e.end(), campos.begin() + 27 * i);
        campos[27 * i] = i == 0 ? 1 : i == 1 ? 3 : 4;
    }
    return campos;
}

TEST(ProgramacaoEstendida, CadaPassoNoFio) {
    const Bytes id = Slot("ABC123", 40);
    const Bytes id25 = Slot("ID-25", 40);
    const Bytes url = Slot("http://tvx.example/x", 81);
    const std::string telemetria = "00 00 03 00 00 00 00 05 01 FF 00 3A 10 02 01 4C 19 " +
                                   ParaHex(Juntar({Texto("TVX3300S"), {2}, id})) + " 10 03 27 E4";
    // clang-format off
    const std::vector<Caso> casos = {
        {"nenhum passo", 23, Meio::Tcp, {}, true, "", "", Marcar({})},
        // A step without a routine counts as done, after a second's pause.
        {"passo sem rotina", 3, Meio::Nenhum, {}, true, "OK.|reconectar", "",
         [](Bancada& b) {
             b.e.infoModelo.passos[0] = {kPassoTabelaModbus, 1};
         }},
        // The text a step received is shown again by the step after it.
        {"texto do passo anterior", 26, Meio::Tcp,
         {{ParaHex(Juntar({Texto("MAC="), Hex(kMac), Bytes(50, 0)})),
           Juntar({Texto("MAC="), Hex(kMac)})}}, true,
         Linhas({{16, nullptr}}, false) + kRecebida + "|OK.|" + kRecebida + "|OK.|reconectar", "",
         [](Bancada& b) {
             b.e.infoModelo.opcoes[kOpcaoMac].valor = "00-1A-2B-3C-4D-5E";
             b.Marcar({kPassoMac});
             b.e.infoModelo.passos[1] = {kPassoTabelaModbus, 1};
         }},
        // A refusal ends the sequence at its step; the link stays.
        {"falha encerra", 23, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 01 FF 00 13 10 02 01 4C 02 54 56 58 33 30 30 30 41 07 09 10 03 "
           "B6 24", Ack(kQuadroDleCurto, true, false)}}, false,
         Linhas({{12, "Falha na programação."}}, false), "",
         Marcar({12, 13, 11, 14}, RtuVelocidade),
         [](Bancada& b) { EXPECT_TRUE(b.TcpAberto()); }},
        // Step 2: MAC, ID (17 of its characters) and SMS number; the echo
        // fills both text slots to the last byte.
        {"mac id sms", 16, Meio::Tcp,
         {{ParaHex(Juntar({Texto("MAC="), Hex(kMac), Bytes(10, 0), Texto("ID="),
                           Texto("TELEMETRIA-0001-X"), Texto("S="), Slot("5511987654321", 18)})),
           Juntar({Texto("MAC="), Hex("02 00 00 AA BB CC"), Bytes(10, 0), Texto("ID="),
                   Texto("ABCDEFGHIJKLMNOP\xE7"), Texto("S="), Texto("551199887766554433")})}},
         true, Linhas({{2,
                  "Programação recebida:\r\nMAC=02:00:00:AA:BB:CC\r\nID=ABCDEFGHIJKLMNOPç\r\n"
                  "Celular SMS=551199887766554433\r\n"}, {0, "OK."}}), "", Marcar({kPassoMacIdSms},
                [](Bancada& b) {
                    Mac(b);
                    b.e.infoModelo.opcoes[kOpcaoIdTelemetria].valor = "TELEMETRIA-0001-XYZ";
                    b.e.infoModelo.opcoes[kOpcaoCelularSms].valor = "5511987654321";
                })},
        // Step 11: tag and MAC in a frame of the model's kind.
        {"mac comando tcp", 6, Meio::Tcp,
         {{"4C 14 " + ParaHex(Texto("TVX5150SMAC=")) + " " + kMac, Ack(kQuadroSimples, true)}},
         true, Linhas({{11, "OK."}}), "", Marcar({kPassoMacComando}, Mac),
         [](Bancada& b) { EXPECT_TRUE(b.TcpAberto()); }},
        {"mac comando serial", 22, Meio::Serial,
         {{"10 02 01 4C 14 " + ParaHex(Texto("TVX5150SMAC=")) + " " + kMac + " 10 03 45 EA",
           Ack(kQuadroDleCurto, false)}}, true, Linhas({{11, "OK."}}), "",
         Marcar({kPassoMacComando}, Mac)},
        // Step 12: tag "TVX3000A", RTU and speed; model 24 addresses 0xFE.
        {"rtu velocidade tcp", 24, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 FE FF 00 13 10 02 FE 4C 02 54 56 58 33 30 30 30 41 07 09 10 03 "
           "*", Ack(kQuadroDleCurto, true)}}, true, Linhas({{12, "OK."}}), "",
         Marcar({kPassoRtuVelocidade}, RtuVelocidade),
         // The stored record keeps its unused bytes: the tag is put in a copy.
         [](Bancada& b) { EXPECT_EQ(0, b.e.registroRtuVelocidade[0]); }},
        {"rtu velocidade serial", 23, Meio::Serial,
         {{"10 02 01 4C 02 54 56 58 33 30 30 30 41 07 09 10 03 B6 24",
           Ack(kQuadroDleCurto, false)}}, true, Linhas({{12, "OK."}}), "",
         Marcar({kPassoRtuVelocidade}, RtuVelocidade)},
        // Step 13: the tag goes into the stored record, 49 bytes out.
        {"telemetria", 5, Meio::Tcp, {{telemetria, Ack(kQuadroDle, true)}}, true,
         Linhas({{13, "OK."}}), "", Marcar({kPassoTelemetria},
                [id](Bancada& b) {
                    b.e.registroTelemetria[8] = 2;
                    std::copy(id.begin(), id.end(), b.e.registroTelemetria.begin() + 9);
                }),
         [](Bancada& b) {
             EXPECT_EQ("TVX3300S", std::string(b.e.registroTelemetria.begin(),
                                               b.e.registroTelemetria.begin() + 8));
         }},
        // Step 20 for a REP meter: no RTU.
        {"campos de memoria rep", 25, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 00 FF 03 6B 10 02 00 50 04 " +
               ParaHex(CamposMemoria("00 08 01 00 00 00 01 00 00 00 00 00 00 00")) + " 10 03 0A A2",
           Ack(kQuadroDle, true)}}, true, Linhas({{20, "OK."}}), "", Marcar({kPassoCamposMemoria},
                [](Bancada& b) {
                    b.e.medidorIon = 0;
                    b.e.rtuMedidorIon = 7;  // only an ION meter has an RTU
                })},
        // Model 25 on its serial line: every step it offers, in catalogue
        // order; 'L' commands take the model's kind 6, 'P' commands kind 0.
        {"modelo 25 todos os passos", 25, Meio::Serial, {{ParaHex(
               Juntar({Hex("10 02 00 4C 19"), Texto("TVX3300S"), {1}, id25, Hex("10 03 C2 1C")})),
           Ack(kQuadroDleCurto, false)},
          {ParaHex(Juntar({Hex("10 02 00 4C 1A"), Texto("TVX3300S"), url, Hex("10 03 77 C6")})),
           Ack(kQuadroDleCurto, false)},
          {"10 02 00 4C 1C 54 56 58 33 33 30 30 57 1E 10 03 E5 19", Ack(kQuadroDleCurto, false)},
          {"10 02 00 50 01 05 03 1F 0E 07 09 10 03 4F 00", Ack(kQuadroDle, false)},
          {"10 02 00 50 05 10 03 19 56", Ack(kQuadroDle, false)},
          {"10 02 00 50 04 " + ParaHex(CamposMemoria("00 20 01 00 00 00 01 00 00 00 00 00 07 22")) +
               " 10 03 F3 BD", Ack(kQuadroDle, false)}}, true,
         Linhas({{13, "OK."}, {14, "OK."}, {17, "OK."}, {18, "OK."}, {19, "OK."}, {20, "OK."}}), "",
         Marcar({13, 14, 17, 18, 19, 20},
                [id25, url](Bancada& b) {
                    b.e.registroTelemetria[8] = 1;
                    std::copy(id25.begin(), id25.end(), b.e.registroTelemetria.begin() + 9);
                    std::copy(url.begin(), url.end(), b.e.registroUrl.begin() + 8);
                    b.e.registroReconexao[8] = 30;
                    b.e.relogio = [] { return Relogio{5, 3, 2031, 14, 7, 9}; };
                    b.e.medidorIon = 1;
                    b.e.rtuMedidorIon = 7;
                }),
         [](Bancada& b) {
             EXPECT_EQ("TVX3300S",
                       std::string(b.e.registroUrl.begin(), b.e.registroUrl.begin() + 8));
             EXPECT_EQ("TVX3300W", std::string(b.e.registroReconexao.begin(),
                                               b.e.registroReconexao.begin() + 8));
         }},
        // Steps 22 and 23: the input and output words, high byte first.
        {"entradas e saidas", 30, Meio::Tcp, {{kEscritaEntradas + "FF FF", kFeito1280},
          {kEscritaSaidas + "00 03", Hex("00 00 00 00 00 06 01 10 05 01 00 01")}}, true,
         Linhas({{22, "OK."}, {23, "OK."}}), "", Marcar({22, 23}),
         [](Bancada& b) { EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro()); }},
        {"excecao na saida", 30, Meio::Tcp, {{kEscritaEntradas + "80 01", kFeito1280},
          {kEscritaSaidas + "00 0A", ExcecaoModbus(0x10)}}, false,
         Linhas({{22, "OK."}, {23, "Falha ao programar Saída Digital"}}), "", Marcar({22, 23},
                [](Bancada& b) {
                    b.e.entradasDigitais = 0x8001;
                    b.e.saidasDigitais = 0x000A;
                }),
         [](Bancada& b) { EXPECT_EQ(nullptr, b.e.canal.Socket()); }},
    };
    // clang-format on
    Rodar(Rotina::Passos, casos);
}

// Each kind on a link that can no longer send (no link at all), and each kind
// refused by the device (a NAK, a Modbus exception, or no reply for the raw
// blocks): the text posted after the announcement, if any, and whether the
// link is left open.
TEST(ProgramacaoEstendida, FalhaDeCadaTipo) {
    struct Falha {
        uint32_t modelo;
        uint8_t id;
        Bytes resposta;     // empty: silence
        const char* texto;  // nullptr: nothing posted after the announcement
        bool aberta;
    };
    // clang-format off
    const Falha semLigacao[] = {
        {16, 2, {}, "Programação de MAC, ID e Celular SMS falhou.", false},
        {6, 11, {}, nullptr, false},
        {23, 12, {}, "Programação de RTU/Velocidade.", false},
        {23, 13, {}, nullptr, false},
        {23, 14, {}, nullptr, false},
        {26, 16, {}, "Programação de MAC falhou.", false},
        {25, 17, {}, nullptr, false},
        {25, 18, {}, "Programação de relógio", false},
        {25, 19, {}, "Reset da memória de massa", false},
        {25, 20, {}, "Programação dos campos de memória", false},
        {30, 22, {}, "Falha ao programar Entrada Digital", false},
        {30, 23, {}, "Falha ao programar Saída Digital", false},
    };
    // clang-format on
    // clang-format off
    const Falha recusas[] = {
        {16, 2, {}, "Falha na recepção (recv).", false},
        {6, 11, Ack(kQuadroSimples, true, false), nullptr, true},
        {23, 12, Ack(kQuadroDleCurto, true, false), "Falha na programação.", true},
        {5, 13, Ack(kQuadroDle, true, false), nullptr, true},
        {24, 14, Ack(kQuadroDleCurto, true, false), nullptr, true},
        {26, 16, {}, "Falha na recepção (recv).", false},
        {26, 16, Texto("NAK\x01\x02\x03\x04\x05\x06\xFF"),
         "Programação do MAC inválido.Cabeçalho desconhecido:4E 41 4B 01 02 03 04 05 06 FF", false},
        {26, 16, Texto("MA"),
         "Programação do MAC inválido.Cabeçalho desconhecido:4D 41 00 00 00 00 00 00 00 00", false},
        {25, 17, Ack(kQuadroDleCurto, true, false), nullptr, true},
        {25, 18, Ack(kQuadroDle, true, false), "Falha na programação.", false},
        {25, 19, Ack(kQuadroDle, true, false), "Falha no reset da memória.", false},
        {25, 20, Ack(kQuadroDle, true, false), "Falha programação dos campos de memória.", false},
        {30, 22, ExcecaoModbus(0x10), "Falha ao programar Entrada Digital", false},
        {30, 23, ExcecaoModbus(0x10), "Falha ao programar Saída Digital", false},
    };
    // clang-format on
    for (bool ligado : {false, true}) {
        for (const Falha& f :
             ligado ? std::vector<Falha>(std::begin(recusas), std::end(recusas))
                    : std::vector<Falha>(std::begin(semLigacao), std::end(semLigacao))) {
            SCOPED_TRACE(std::to_string(f.id) + (ligado ? " recusa" : " sem ligação"));
            Bancada b(f.modelo);
            b.Marcar({f.id});
            std::unique_ptr<ParTcp> par;
            if (ligado) {
                par = std::make_unique<ParTcp>("127.6.3.4", static_cast<uint16_t>(b.e.PortaTcp()));
                f.resposta.empty() ? par->Calar() : par->Responder(f.resposta);
                b.e.SetIpProgramacao("127.6.3.4");
                ASSERT_TRUE(b.e.Conecta(false));
                b.e.canal.DefinirTempoEspera(1);
            }
            bool reconectar = false;
            EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
            EXPECT_FALSE(reconectar);
            std::vector<std::string> esperadas{Anuncio(f.id)};
            if (f.texto) {
                esperadas.push_back(f.texto);
            }
            EXPECT_EQ(esperadas, b.fila.Textos());
            EXPECT_EQ(f.aberta, b.TcpAberto());
        }
    }
}

TEST(EnviaReset, TagTvx5150sNosModelosQueReiniciam) {
    const std::string tag = ParaHex(Texto("TVX5150S"));
    Rodar(Rotina::Reset,
          {
              {"dle tcp",
               3,
               Meio::Tcp,
               {{"00 00 03 00 00 00 00 05 01 FF 00 11 10 02 01 4C 18 " + tag + " 10 03 01 25", {}}},
               true,
               "antes"},
              {"simples", 6, Meio::Tcp, {{"4C 18 " + tag, {}}}, true, "antes"},
              {"serial",
               2,
               Meio::Serial,
               {{"10 02 01 4C 18 " + tag + " 10 03 01 25", {}}},
               true,
               "antes"},
              {"sem ligacao", 3, Meio::Nenhum, {}, false, "antes"},
              // Models that are not restarted try nothing, link or not.
              {"familia 21", 30, Meio::Nenhum, {}, true, "antes"},
              {"familia 9", 1, Meio::Nenhum, {}, true, "antes"},
              {"familia 10 sem reset", 15, Meio::Nenhum, {}, true, "antes"},
              {"modelo 25", 25, Meio::Nenhum, {}, true, "antes"},
          });
}

}  // namespace
}  // namespace tvx
