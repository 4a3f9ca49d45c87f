// The program's own device routines against the simulated equipment: one
// model of every family over loopback TCP, family 10 over the
// pseudo-terminal, and the failure texts the faults drive.
#include <gtest/gtest.h>

#include <cstring>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/registros.h"
#include "sim/cliente.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;
using sim::AlvoFalha;
using sim::Falha;
using sim::Simulador;

// One simulated device and the program's equipment object aimed at it.
struct Bancada {
    Bancada(uint32_t modelo, const std::string& preferido) : sim(modelo) {
        const std::string endereco =
            EnderecoLivre(preferido, [&](const std::string& e) { return sim.IniciarTcp(e); });
        eq.SetModelo(modelo);
        eq.CarregaInfoModelo();
        eq.SetMeio(kMeioEsteIp);
        eq.SetIpProgramacao(endereco);
        eq.SetRtu(1);
        eq.SetIpNovo("10.1.2.3");
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("10.1.2.1");
        eq.janelaProgresso = &fila;
        eq.mensagemProgresso = MensagemIncluirProcesso();
    }
    ~Bancada() { eq.Desconecta(); }

    // Connects the way a run does, with a short reply wait for failure rows.
    void Conectar() {
        ASSERT_TRUE(eq.Conecta(false));
        eq.canal.DefinirTempoEsperaMs(1500);
    }
    void Marcar(uint8_t passo) {
        for (PassoModelo& p : eq.infoModelo.passos) {
            if (p.id == passo) {
                p.marcado = 1;
            }
        }
    }

    Simulador sim;
    cEquipamento eq;
    FilaProgresso fila;
};

TEST(SimProtocolos, Family10ProgramsRestartsAndReadsBack) {
    Bancada b(3, "127.77.5.1");
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Programação de IP OK.");
    ASSERT_TRUE(b.sim.Estado().pendente.has_value());
    EXPECT_EQ(b.sim.Estado().ip, Ip(192, 168, 0, 101));
    EXPECT_TRUE(b.eq.EnviaReset());
    ASSERT_TRUE(b.sim.AguardarPedidos(2, 2s));
    EXPECT_EQ(b.sim.Estado().ip, Ip(10, 1, 2, 3));
    EXPECT_EQ(b.sim.Estado().resets, 1);
    b.eq.Desconecta();

    b.Conectar();
    ASSERT_TRUE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado,
              "TVX5150S\r\nIP: 10.1.2.3\r\nMask: 255.255.255.0\r\nGateway: 10.1.2.1\r\n"
              "MAC: 02:B4:6D:00:03:65\r\nRTU: 1\r\n");
    EXPECT_EQ(b.eq.GetIpLido(), "10.1.2.3");
    EXPECT_EQ(b.eq.GetMascaraLida(), "255.255.255.0");
    EXPECT_EQ(b.eq.GetGatewayLido(), "10.1.2.1");
}

TEST(SimProtocolos, Family10FailureRows) {
    Bancada b(22, "127.77.5.2");
    std::string resultado;
    b.Conectar();
    b.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.comando = 'L', .subcomando = 22});
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha na programação.");
    b.sim.DefinirFalha(Falha::Calar);
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha na programação.");
    EXPECT_FALSE(b.sim.Estado().pendente.has_value());
    b.eq.Desconecta();
    // Cut before its acknowledgement: the equipment took it, the program cannot know.
    b.sim.DefinirFalha(Falha::FecharNoMeio);
    b.Conectar();
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha na programação.");
    EXPECT_TRUE(b.sim.Estado().pendente.has_value());
    b.eq.Desconecta();
    b.sim.DefinirFalha(Falha::Calar);
    b.Conectar();
    EXPECT_FALSE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado, "Falha na recepção (recv).");
}

TEST(SimProtocolos, Family10PlainFramesWithMacStep) {
    Bancada b(6, "127.77.5.3");
    b.eq.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
    b.Marcar(kPassoMacComando);
    b.Conectar();
    bool reconectar = false;
    ASSERT_TRUE(b.eq.ProgramacaoEstendida(reconectar));
    EXPECT_TRUE(reconectar);
    EXPECT_EQ(b.sim.Estado().mac, (std::array<uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    b.eq.Desconecta();
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Programação de IP OK.");
    ASSERT_TRUE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado.rfind("TVX6400ST\r\nIP: 192.168.0.101\r\n", 0), 0u) << resultado;
    EXPECT_NE(resultado.find("MAC: 00:1A:2B:3C:4D:5E"), std::string::npos);
}

TEST(SimProtocolos, Family10TelemetrySteps) {
    Bancada b(23, "127.77.5.4");
    b.eq.registroRtuVelocidade[kRvRtu] = 5;
    b.eq.registroRtuVelocidade[kRvVelocidade] = 8;
    b.eq.registroTelemetria[kTelOperadora] = 2;
    GravarTextoNoCampo(b.eq.registroTelemetria.data() + kTelId, kTamanhoIdTelemetria, "TLM-0042",
                       kTamanhoIdTelemetria);
    GravarTextoNoCampo(b.eq.registroUrl.data() + kUrlTexto, kTamanhoUrl, "gprs.example:7000",
                       kTamanhoUrl);
    b.eq.infoModelo.opcoes[kOpcaoMac].valor = "02:00:00:00:00:07";
    for (uint8_t passo : {kPassoRtuVelocidade, kPassoTelemetria, kPassoMacComando, kPassoUrl}) {
        b.Marcar(passo);
    }
    b.Conectar();
    bool reconectar = false;
    ASSERT_TRUE(b.eq.ProgramacaoEstendida(reconectar));
    const auto e = b.sim.Estado();
    EXPECT_EQ(e.rtu, 5);
    EXPECT_EQ(e.velocidade, 8);
    EXPECT_EQ(e.operadora, 2);
    EXPECT_EQ(e.idTelemetria, "TLM-0042");
    EXPECT_EQ(e.url, "gprs.example:7000");
    EXPECT_EQ(e.mac[5], 7);
    // A refused RTU step reports its text and keeps the link.
    b.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.comando = 'L', .subcomando = 2});
    std::string resultado;
    EXPECT_FALSE(b.eq.ProgramaRtuVelocidade(resultado));
    EXPECT_EQ(resultado, "Falha na programação.");
    b.sim.DefinirFalha(Falha::Nenhuma);
    EXPECT_TRUE(b.eq.ProgramaRtuVelocidade(resultado));
}

TEST(SimProtocolos, Family10OverThePseudoTerminal) {
    for (uint32_t modelo : {2u, 3u}) {
        Simulador sim(modelo);
        const std::string caminho = sim.IniciarSerial();
        ASSERT_FALSE(caminho.empty());
        cEquipamento eq;
        eq.SetModelo(modelo);
        eq.CarregaInfoModelo();
        eq.SetMeio(kMeioSerial);
        eq.PadraoSerial();
        eq.SetPorta(caminho);
        eq.SetVelocidade(kIndiceVelocidade38400);
        eq.SetRtu(1);
        eq.SetIpNovo("10.20.30.40");
        eq.SetMascaraNova("255.255.0.0");
        eq.SetGatewayNovo("10.20.0.1");
        ASSERT_TRUE(eq.Conecta(false)) << caminho;
        // The text read ends at the first quiet read time-out: keep it short.
        eq.canal.Serial().DefinirTempoLeitura(300);
        std::string resultado;
        ASSERT_TRUE(eq.ProgramarIp(resultado)) << modelo;
        EXPECT_EQ(resultado, "Programação de IP OK.");
        ASSERT_TRUE(eq.EnviaReset());
        ASSERT_TRUE(sim.AguardarPedidos(2, 2s));
        ASSERT_TRUE(eq.LerConfiguracao(resultado));
        EXPECT_EQ(eq.GetIpLido(), "10.20.30.40") << resultado;
        EXPECT_EQ(eq.GetGatewayLido(), "10.20.0.1");

        sim.DefinirFalha(Falha::Recusar, AlvoFalha{.ocorrencias = 1});
        EXPECT_FALSE(eq.ProgramarIp(resultado));
        EXPECT_EQ(resultado, "Falha na programação.");
        sim.DefinirFalha(Falha::SumirSerial);
        EXPECT_FALSE(eq.ProgramarIp(resultado));
        EXPECT_EQ(resultado, "Falha na programação.");
        eq.Desconecta();
    }
}

TEST(SimProtocolos, Family1TextsAndTheMacIdSmsStep) {
    Bancada b(16, "127.77.5.5");
    b.eq.infoModelo.opcoes[kOpcaoMac] = {1, 1, "02:AA:BB:CC:DD:EE"};
    b.eq.infoModelo.opcoes[kOpcaoIdTelemetria] = {1, 1, "GPRS-9"};
    b.eq.infoModelo.opcoes[kOpcaoCelularSms] = {1, 1, "5511988887777"};
    b.Marcar(kPassoMacIdSms);
    b.Conectar();
    bool reconectar = false;
    ASSERT_TRUE(b.eq.ProgramacaoEstendida(reconectar));
    const auto textos = b.fila.Textos();
    EXPECT_NE(std::find(textos.begin(), textos.end(),
                        "Programação recebida:\r\nMAC=02:AA:BB:CC:DD:EE\r\nID=GPRS-9\r\n"
                        "Celular SMS=5511988887777\r\n"),
              textos.end());
    EXPECT_EQ(b.sim.Estado().celularSms, "5511988887777");
    b.eq.Desconecta();
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(b.eq.GetIpLido(), "10.1.2.3");
    EXPECT_EQ(b.eq.GetMascaraLida(), "255.255.255.0");
    EXPECT_EQ(b.eq.GetGatewayLido(), "10.1.2.1");
    EXPECT_EQ(b.sim.Estado().ip, Ip(10, 1, 2, 3));
    b.sim.DefinirFalha(Falha::Calar);
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha na recepção (recv).");
}

TEST(SimProtocolos, Family6EchoAndItsMismatch) {
    Bancada b(21, "127.77.5.6");
    b.Conectar();
    std::string resultado = "antes\r\n";
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "antes\r\nMAC=02:B4:6D:00:15:65\r\n");
    EXPECT_EQ(b.eq.GetIpLido(), "010.001.002.003");
    b.eq.SetIpNovo("10.9.9.9");
    b.sim.DefinirFalha(Falha::IpDiferente);
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha na programação.Reprograme o MAC.");
    EXPECT_EQ(b.eq.GetIpLido(), "010.001.002.003");
    EXPECT_EQ(b.sim.Estado().ip, Ip(10, 1, 2, 3));
}

TEST(SimProtocolos, Family6MacStepAndItsRefusal) {
    Bancada b(28, "127.77.5.7");
    b.eq.infoModelo.opcoes[kOpcaoMac].valor = "02:11:22:33:44:55";
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramaMac(resultado));
    EXPECT_EQ(resultado, "Programação recebida:\r\nMAC=02:11:22:33:44:55\r\n");
    b.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.blocoBruto = true});
    EXPECT_FALSE(b.eq.ProgramaMac(resultado));
    EXPECT_EQ(resultado.rfind("Programação do MAC inválido.Cabeçalho desconhecido:", 0), 0u);
}

TEST(SimProtocolos, Family9RecordAndRead) {
    Bancada b(1, "127.77.5.8");
    EscreverIpRegistro(b.eq.registroGatewayUniversal.data(), kGuIpGatewayRx, Ip(10, 1, 2, 50));
    b.eq.registroGatewayUniversal[kGuVelocidade] = 6;
    b.eq.registroGatewayUniversal[kGuFuncao] = 0xAA;
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(b.eq.GetIpLido(), "010.001.002.003");
    EXPECT_EQ(b.eq.GetGatewayLido(), "010.001.002.001");
    ASSERT_TRUE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado, "Função: Gateway Modbus\r\nVelocidade:115200");
    b.sim.DefinirFalha(Falha::Calar);
    EXPECT_FALSE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado, "Falha na recepção (recv).");
}

TEST(SimProtocolos, Family15RecordWithMac) {
    Bancada b(19, "127.77.5.9");
    b.eq.registroGatewayModbus[kGmRegistroInicial] = 0x34;
    b.eq.registroGatewayModbus[kGmRegistroInicial + 1] = 0x12;
    b.Conectar();
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "MAC=02:B4:6D:00:13:65\r\n");
    EXPECT_EQ(b.eq.GetMascaraLida(), "255.255.255.000");
    // The start register travels high byte first.
    const auto e = b.sim.Estado();
    EXPECT_EQ(e.registroGateway[kGmRegistroInicial], 0x12);
    EXPECT_EQ(e.registroGateway[kGmRegistroInicial + 1], 0x34);
}

TEST(SimProtocolos, Family21RegistersAndMeasurements) {
    Bancada b(30, "127.77.5.10");
    b.eq.infoModelo.alterarIp = 1;
    b.eq.entradasDigitais = 0x0001;
    b.eq.saidasDigitais = 0x0002;
    b.Marcar(kPassoEntradasDigitais);
    b.Marcar(kPassoSaidasDigitais);
    b.Conectar();
    bool reconectar = false;
    ASSERT_TRUE(b.eq.ProgramacaoEstendida(reconectar));
    EXPECT_EQ(b.sim.Estado().entradas, 1);
    EXPECT_EQ(b.sim.Estado().saidas, 2);
    std::string resultado;
    ASSERT_TRUE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "");
    EXPECT_EQ(b.sim.Estado().ip, Ip(10, 1, 2, 3));
    ASSERT_TRUE(b.eq.LerConfiguracao(resultado));
    EXPECT_NE(resultado.find("E1:Ativa em:1\r\nE2:Ativa em:0\r\n"), std::string::npos);
    EXPECT_NE(resultado.find("Saída 1:(0) Monoestável\r\nSaída 2:(1) Biestável\r\n"),
              std::string::npos);
    EXPECT_NE(resultado.find("IP:010.001.002.003"), std::string::npos);
    EXPECT_NE(resultado.find("\r\nMedição:\r\nIACS:4.125\r\nIDC:1.750\r\nVFN:127.250\r\n"
                             "VNT:0.500\r\nVDC:125.125\r\nTEMP1:31.500\r\nTEMP2:29.750\r\n"),
              std::string::npos)
        << resultado;

    b.sim.DefinirFalha(Falha::ExcecaoModbus, AlvoFalha{.registro = 1282});
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha ao programar IP parte LOW");
    b.sim.DefinirFalha(Falha::ExcecaoModbus, AlvoFalha{.registro = 1283});
    EXPECT_FALSE(b.eq.ProgramarIp(resultado));
    EXPECT_EQ(resultado, "Falha ao programar IP parte HIGH");
    b.sim.DefinirFalha(Falha::ExcecaoModbus, AlvoFalha{.registro = 1280});
    std::string passo;
    EXPECT_FALSE(b.eq.ProgramaEntradasDigitais(passo));
    EXPECT_EQ(passo, "Falha ao programar Entrada Digital");
    // An unreadable measurement block leaves the programming part.
    b.sim.DefinirFalha(Falha::ExcecaoModbus, AlvoFalha{.registro = 1024});
    b.eq.Desconecta();
    b.Conectar();
    ASSERT_TRUE(b.eq.LerConfiguracao(resultado));
    EXPECT_EQ(resultado.find("Medição:"), std::string::npos);
    EXPECT_NE(resultado.find("Programação ativa:"), std::string::npos);
}

TEST(SimProtocolos, Family0WebUnitSteps) {
    Bancada b(25, "127.77.5.11");
    b.eq.relogio = [] { return Relogio{5, 3, 2031, 14, 7, 9}; };
    b.eq.registroReconexao[kRecTempo] = 30;
    b.eq.medidorIon = 1;
    b.eq.rtuMedidorIon = 7;
    GravarTextoNoCampo(b.eq.registroUrl.data() + kUrlTexto, kTamanhoUrl, "web.example",
                       kTamanhoUrl);
    for (const PassoModelo& p : b.eq.infoModelo.passos) {
        b.Marcar(p.id);
    }
    b.Conectar();
    bool reconectar = false;
    ASSERT_TRUE(b.eq.ProgramacaoEstendida(reconectar));
    const auto e = b.sim.Estado();
    EXPECT_EQ(e.url, "web.example");
    EXPECT_EQ(e.tempoReconexao, 30);
    EXPECT_EQ(e.relogio, (std::array<uint8_t, 6>{5, 3, 31, 14, 7, 9}));
    EXPECT_TRUE(e.memoriaMassaZerada);
    ASSERT_EQ(e.camposMemoria.size(), 866u);
    EXPECT_EQ(e.camposMemoria[27], 3);
    EXPECT_EQ(e.camposMemoria[27 + 12], 7);
    std::string resultado;
    b.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.comando = 'P', .subcomando = 5});
    EXPECT_FALSE(b.eq.ResetMemoriaMassa(resultado));
    EXPECT_EQ(resultado, "Falha no reset da memória.");
    b.sim.DefinirFalha(Falha::Recusar, AlvoFalha{.comando = 'L', .subcomando = 26});
    EXPECT_FALSE(b.eq.ProgramaUrl());
}

TEST(SimProtocolos, FactoryDefaultAddressInAnIsolatedNetwork) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco(std::string(kIpFabrica) + "/32"));
        Simulador sim(29);
        ASSERT_TRUE(sim.IniciarTcp(kIpFabrica));
        cEquipamento eq;
        eq.SetModelo(29);
        eq.CarregaInfoModelo();
        eq.SetMeio(kMeioIpPadrao);
        eq.SetIpProgramacao(kIpFabrica);
        eq.SetIpNovo("192.168.0.150");
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("192.168.0.1");
        ASSERT_TRUE(eq.Conecta(false));
        std::string resultado;
        EXPECT_TRUE(eq.ProgramarIp(resultado));
        EXPECT_TRUE(eq.LerConfiguracao(resultado));
        EXPECT_EQ(eq.GetIpLido(), kIpFabrica);
        eq.Desconecta();
        sim.Parar();
    });
}

}  // namespace
}  // namespace tvx::teste
