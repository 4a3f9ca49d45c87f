// Read and test runs end to end: the worker against the simulated equipment,
// inside an isolated network that holds the factory address.
#include <gtest/gtest.h>

#include "test_fluxo_apoio.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;
using sim::Simulador;

constexpr const char* kNaoRespondeuProgramacao = "Não respondeu no IP de programação.";
constexpr const char* kLigacao = "1)Se existe ligação física ao equipamento.";
constexpr const char* kMesmaRede = "2)Se computador está na mesma rede que o equipamento.";
constexpr const char* kFirewall = "3)Verifique se existe algum firewall bloqueando.";

std::string TextoFabrica(const std::string& nome, uint32_t modelo) {
    return TextoConfiguracao(nome, kIpFabrica, "255.255.255.0", "0.0.0.0", modelo);
}

Linhas FimFabrica(const std::string& nome, uint32_t modelo, const std::string& aviso = "") {
    return FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", TextoFabrica(nome, modelo), aviso);
}

// ---- read runs that reach the device

TEST(FluxoLeitura, TextoDoEquipamentoPorTcpEPelaSerial) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        {
            SCOPED_TRACE("tcp");
            Simulador sim(3);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(3);
            const auto linhas = b.Executar(kAcaoLer);
            EXPECT_TRUE(SequenciaIgual(
                Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica)} + FimFabrica("TVX5150S", 3),
                linhas));
            // The lines of the device routines reach the same page.
            EXPECT_EQ(&b.fila, b.eq.janelaProgresso);
            EXPECT_EQ(MensagemIncluirProcesso(), b.eq.mensagemProgresso);
            EXPECT_EQ("192.168.0.101", b.eq.GetIpLido());
            EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid());
        }
        {
            SCOPED_TRACE("serial, nothing pinged");
            Simulador sim(3);
            const std::string porta = sim.IniciarSerial();
            ASSERT_FALSE(porta.empty());
            Bancada b(&rede);
            b.Modelo(3, kMeioSerial);
            b.eq.SetPorta(porta);
            const auto linhas = b.Executar(kAcaoLer);
            EXPECT_TRUE(SequenciaIgual(
                Linhas{kBanner, kLeituraIniciada} + FimFabrica("TVX5150S", 3), linhas));
            EXPECT_FALSE(b.eq.canal.SerialAberta());
        }
        {
            SCOPED_TRACE("serial, family 0");
            Simulador sim(25);
            const std::string porta = sim.IniciarSerial();
            ASSERT_FALSE(porta.empty());
            Bancada b(&rede);
            b.Modelo(25, kMeioSerial);
            b.eq.SetPorta(porta);
            const auto linhas = b.Executar(kAcaoLer);
            const std::string texto =
                TextoConfiguracao("TVX3300WEB", kIpFabrica, "255.255.255.0", "0.0.0.0", 25,
                                  {"Operadora: 0", "ID: ", "URL: ", "Reconexão: 5 min"});
            EXPECT_TRUE(
                SequenciaIgual(Linhas{kBanner, kLeituraIniciada} +
                                   FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto),
                               linhas));
        }
    });
}

TEST(FluxoLeitura, ModelosComDipTrazemOAvisoAntesDoIp) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        for (uint32_t modelo : {6u, 7u, 17u}) {
            SCOPED_TRACE(modelo);
            Simulador sim(modelo);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(modelo);
            std::string nome;
            ASSERT_TRUE(ObtemNomeModelo(modelo, nome));
            const auto linhas = b.Executar(kAcaoLer);
            EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica)} +
                                           FimFabrica(nome, modelo, AvisoDip()),
                                       linhas));
        }
    });
}

TEST(FluxoLeitura, GatewayUniversalERegistrosSemLinhasDeEndereco) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        {
            SCOPED_TRACE("family 9");
            Simulador sim(27);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(27);
            const auto linhas = b.Executar(kAcaoLer);
            EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica)} +
                                           FimLeitura("192.168.000.101", "255.255.255.000",
                                                      "000.000.000.000", "Função: Gateway PC"),
                                       linhas));
        }
        {
            SCOPED_TRACE("family 21");
            Simulador sim(30);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(30);
            const auto linhas = b.Executar(kAcaoLer);
            ASSERT_EQ(6u, linhas.size()) << ::testing::PrintToString(Textos(linhas));
            EXPECT_TRUE(
                SequenciaIgual(Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica),
                                      "INFORMAÇÃO EXTRA", linhas[4].texto, "Leitura finalizada."},
                               linhas));
            EXPECT_EQ(0u, linhas[4].texto.find("\r\nProgramação ativa:\r\nE1:Ativa em:1\r\n"));
            EXPECT_NE(std::string::npos, linhas[4].texto.find("IP:192.168.000.101\r\nMedição:"));
        }
    });
}

// The programming address is silent: the device is looked for, and read, at
// the new one.
TEST(FluxoLeitura, SemRespostaNoIpDeProgramacaoLeNoIpNovo) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        ASSERT_TRUE(rede.AdicionarEndereco(std::string(kIpNovoMudo) + "/32"));
        Simulador sim(3);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(3, kMeioEsteIp);
        b.eq.SetIpProgramacao("10.0.0.20");
        const auto linhas = b.Executar(kAcaoLer);
        EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, kLeituraIniciada, kFalhaEco,
                                          kNaoRespondeuProgramacao, Eco(kIpNovoMudo)} +
                                       FimFabrica("TVX5150S", 3),
                                   linhas));
    });
}

// ---- read runs that end early

TEST(FluxoLeituraFalhas, ModeloSemLeitura) {
    Bancada b;
    b.Modelo(8);
    EXPECT_TRUE(
        SequenciaIgual(Linhas{kBanner, "Leitura do IP programado não implementada no equipamento."},
                       b.Executar(kAcaoLer)));
}

TEST(FluxoLeituraFalhas, NenhumEnderecoResponde) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        Bancada b(&rede);
        b.Modelo(3, kMeioEsteIp);
        b.eq.SetIpProgramacao("10.0.0.20");
        EXPECT_TRUE(
            SequenciaIgual(Linhas{kBanner, kLeituraIniciada, kFalhaEco, kNaoRespondeuProgramacao,
                                  kFalhaEco, "Não respondeu no IP programado."},
                           b.Executar(kAcaoLer)));
    });
}

TEST(FluxoLeituraFalhas, ConexaoRecusadaNoIpDeProgramacaoOuNoNovo) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Bancada b(&rede);
        b.Modelo(3);
        EXPECT_TRUE(
            SequenciaIgual(Linhas{kBanner, kLeituraIniciada, Eco(kIpFabrica), "\r\n",
                                  "Não conectou no IP de programação.", kLigacao, kMesmaRede,
                                  kFirewall, "4)Se está no modo de programação de IP."},
                           b.Executar(kAcaoLer)));

        ASSERT_TRUE(rede.AdicionarEndereco(std::string(kIpNovoMudo) + "/32"));
        b.eq.SetIpProgramacao("10.0.0.20");
        EXPECT_TRUE(SequenciaIgual(
            Linhas{kBanner, kLeituraIniciada, kFalhaEco, kNaoRespondeuProgramacao, Eco(kIpNovoMudo),
                   "Não conectou no IP programado.", kLigacao, kMesmaRede, kFirewall},
            b.Executar(kAcaoLer)));
    });
}

TEST(FluxoLeituraFalhas, PortaSerialQueNaoAbre) {
    Bancada b;
    b.Modelo(3, kMeioSerial);
    b.eq.SetPorta("/dev/tvx-porta-que-nao-existe");
    EXPECT_TRUE(SequenciaIgual(
        Linhas{kBanner, kLeituraIniciada, "Não conectou com o equipamento pela porta serial."},
        b.Executar(kAcaoLer)));
}

// ---- test run

TEST(FluxoTeste, IpNovoSemResposta) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        Bancada b(&rede);
        b.Modelo(3);
        EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, "Verificando IP programado...", kFalhaEco,
                                          "IP programado não respondeu.Verifique:", kLigacao,
                                          kMesmaRede, "Verificação finalizada."},
                                   b.Executar(kAcaoTestar)));
    });
}

}  // namespace
}  // namespace tvx
