// Programming runs end to end: the worker against the simulated equipment,
// inside an isolated network that holds the factory address.
#include <gtest/gtest.h>

#include "test_fluxo_apoio.h"

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;
using sim::Simulador;

constexpr const char* kIpJaExiste = "IP a ser programado já existe na rede.";
constexpr const char* kIpNaoSeraFeito = "Programação de IP não será feita.";
constexpr const char* kNaoConectou = "Não conectou no equipamento.Verifique o firewall.";
constexpr const char* kDip = "Coloque a Dip na posição de funcionamento normal.";

// A run on a TCP medium up to the connection, the new address answering nothing.
Linhas InicioTcp(const std::string& ipProgramacao = kIpFabrica) {
    return {kBanner, kIniciada, kVerificando, Eco(ipProgramacao), kFalhaEco, kConectando};
}

// The lines read back from a gateway after its IP programming (families 6, 9, 15).
Linhas IpProgramadoNumerico() {
    return {"IP programado:\r\nIP:010.000.000.050", "MASK:255.255.255.000", "GW:010.000.000.001"};
}

size_t Posicao(const std::vector<LinhaRecebida>& linhas, const std::string& texto) {
    for (size_t i = 0; i < linhas.size(); ++i) {
        if (linhas[i].texto == texto) {
            return i;
        }
    }
    return linhas.size();
}

// ---- family 10

// The road of a family-10 meter over TCP: programming, restart with the
// ten-second countdown, and the read run that finds the device on its new
// address once the old one stopped answering.
TEST(FluxoProgramacao, Familia10TcpReiniciaContaDezSegundosELeNoIpNovo) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarEndereco("10.0.0.20/32"));
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        Simulador sim(3);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(3, kMeioEsteIp);
        b.eq.SetIpProgramacao("10.0.0.20");

        // The device restarts on its new address: the old one goes silent.
        bool mudou = false;
        const auto linhas = b.Executar(kAcaoProgramar, [&](const LinhaRecebida& l) {
            if (l.texto == kReiniciado && !mudou) {
                mudou = true;
                EXPECT_EQ(0, rede.Executar("ip addr del 10.0.0.20/32 dev lo"));
                EXPECT_TRUE(rede.AdicionarEndereco(std::string(kIpNovoMudo) + "/32"));
            }
        });
        ASSERT_TRUE(mudou);
        const std::string texto =
            TextoConfiguracao("TVX5150S", kIpNovoMudo, kMascaraNova, kGatewayNovo, 3);
        EXPECT_TRUE(SequenciaIgual(
            InicioTcp("10.0.0.20") + Linhas{kEnviandoIp, kIpOk, "OK", kFinalizada, kReiniciado} +
                Contagem() +
                Linhas{kLeituraIniciada, kFalhaEco, "Não respondeu no IP de programação.",
                       Eco(kIpNovoMudo)} +
                FimLeitura(kIpNovoMudo, kMascaraNova, kGatewayNovo, texto),
            linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());
        EXPECT_EQ(1, sim.Estado().resets);
        EXPECT_EQ(TextoParaIp(kIpNovoMudo), sim.Estado().ip);

        // Ten lines, one second apart, the first a second after the notice.
        const size_t aviso = Posicao(linhas, kReiniciado);
        ASSERT_LT(aviso + 10, linhas.size());
        for (size_t i = 1; i <= 10; ++i) {
            const auto passo = linhas[aviso + i].quando - linhas[aviso + i - 1].quando;
            EXPECT_GE(passo, 950ms) << linhas[aviso + i].texto;
            EXPECT_LE(passo, 1250ms) << linhas[aviso + i].texto;
        }
        const auto total = linhas[aviso + 10].quando - linhas[aviso].quando;
        EXPECT_GE(total, 9950ms);
        EXPECT_LE(total, 10600ms);
    });
}

// Serial medium: only the new address is pinged; the restart goes over the
// line and the read run that follows reopens the port.
TEST(FluxoProgramacao, Familia10SerialPingaSoOIpNovoEReiniciaPelaLinha) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        Simulador sim(3);
        const std::string porta = sim.IniciarSerial();
        ASSERT_FALSE(porta.empty());
        Bancada b(&rede);
        b.Modelo(3, kMeioSerial);
        b.eq.SetPorta(porta);
        b.eq.SetVelocidade(kIndiceVelocidade38400);

        const auto linhas = b.Executar(kAcaoProgramar);
        const std::string texto =
            TextoConfiguracao("TVX5150S", kIpNovoMudo, kMascaraNova, kGatewayNovo, 3);
        EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, kIniciada, kFalhaEco, kConectando, kEnviandoIp,
                                          kIpOk, "OK", kFinalizada, kReiniciado} +
                                       Contagem() + Linhas{kLeituraIniciada} +
                                       FimLeitura(kIpNovoMudo, kMascaraNova, kGatewayNovo, texto),
                                   linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());
        EXPECT_EQ(1, sim.Estado().resets);
        EXPECT_FALSE(b.eq.canal.SerialAberta()) << "the run closes the port";
    });
}

// A family-10 model without restart, over the other serial acknowledgement
// form; the read that follows shows what is in force until a power cycle.
TEST(FluxoProgramacao, Familia10SerialSemReinicioLeOQueEstaEmVigor) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        Simulador sim(22);
        const std::string porta = sim.IniciarSerial();
        ASSERT_FALSE(porta.empty());
        Bancada b(&rede);
        b.Modelo(22, kMeioSerial);
        b.eq.SetPorta(porta);

        const auto linhas = b.Executar(kAcaoProgramar);
        const std::string texto =
            TextoConfiguracao("TVX3500R", kIpFabrica, "255.255.255.0", "0.0.0.0", 22);
        EXPECT_TRUE(SequenciaIgual(Linhas{kBanner, kIniciada, kFalhaEco, kConectando, kEnviandoIp,
                                          kIpOk, "OK", kFinalizada, kLeituraIniciada} +
                                       FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto),
                                   linhas));
        EXPECT_EQ(0, sim.Estado().resets);
        ASSERT_TRUE(sim.Estado().pendente.has_value());
        EXPECT_EQ(TextoParaIp(kIpNovoMudo), (*sim.Estado().pendente)[0]);
    });
}

// The device still at the factory address answers the new address itself:
// programming goes ahead. A refusal in the next run clears `programado`.
TEST(FluxoProgramacao, NovoIpIgualAoDeFabricaSegueERecusaLimpaProgramado) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(15);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(15);
        b.eq.SetIpNovo(kIpFabrica);

        auto linhas = b.Executar(kAcaoProgramar);
        const std::string texto =
            TextoConfiguracao("TVX8100", kIpFabrica, "255.255.255.0", "0.0.0.0", 15);
        const Linhas inicio{kBanner,         kIniciada,   kVerificando, Eco(kIpFabrica),
                            Eco(kIpFabrica), kIpJaExiste, kConectando,  kEnviandoIp};
        EXPECT_TRUE(SequenciaIgual(
            inicio + Linhas{kIpOk, "OK", kFinalizada, kLeituraIniciada, Eco(kIpFabrica)} +
                FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto),
            linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());

        sim.DefinirFalha(Falha::Recusar, AlvoFalha{'L', 22});
        linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(inicio + Linhas{"Falha na programação."}, linhas));
        EXPECT_EQ(0, b.trabalhador.programado.load());
        EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid());
    });
}

// Models with DIP switches: no restart, and the technician is told to put the
// switch back instead of a read.
TEST(FluxoProgramacao, ModelosComDipTerminamComOAvisoDaDip) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        for (uint32_t modelo : {6u, 7u, 17u}) {
            SCOPED_TRACE(modelo);
            Simulador sim(modelo);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(modelo);
            const auto linhas = b.Executar(kAcaoProgramar);
            EXPECT_TRUE(SequenciaIgual(
                InicioTcp() + Linhas{kEnviandoIp, kIpOk, "OK", kFinalizada, kDip}, linhas));
            EXPECT_EQ(0, sim.Estado().resets);
            EXPECT_EQ(1, b.trabalhador.programado.load());
        }
    });
}

// Model 18 cannot be read: the read after programming ends without a word.
TEST(FluxoProgramacao, Modelo18TerminaSemLeituraEmSilencio) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(18);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(18);
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(
            SequenciaIgual(InicioTcp() + Linhas{kEnviandoIp, kIpOk, "OK", kFinalizada}, linhas));
        EXPECT_EQ(0, sim.Estado().resets);
    });
}

// ---- families 1, 6, 9, 15: the device echoes what it now holds

TEST(FluxoProgramacao, Familia1MostraOIpProgramado) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(8);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(8);
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(InicioTcp() + Linhas{kEnviandoIp, "", "OK", kFinalizada,
                                                        "IP programado:\r\nIP:10.0.0.50",
                                                        "MASK:255.255.255.0", "GW:10.0.0.1"},
                                   linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());
        EXPECT_EQ(TextoParaIp(kIpNovoMudo), sim.Estado().ip);
    });
}

TEST(FluxoProgramacao, Familia6MostraMacEIpEFalhaQuandoOEcoDiverge) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(21);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(21);
        auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            InicioTcp() + Linhas{kEnviandoIp, "MAC=02:B4:6D:00:15:65\r\n", "OK", kFinalizada} +
                IpProgramadoNumerico(),
            linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());

        b.eq.SetIpNovo("10.0.0.51");
        sim.DefinirFalha(Falha::IpDiferente);
        linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kFalhaEco, kConectando,
                   kEnviandoIp, "Falha na programação.Reprograme o MAC."},
            linhas));
        EXPECT_EQ(0, b.trabalhador.programado.load());
        EXPECT_EQ("010.000.000.050", b.eq.GetIpLido()) << "a refused echo changes nothing";
    });
}

// A new address that answers elsewhere: both lines, the extra step still
// runs, IP programming is skipped and nothing is read back.
TEST(FluxoProgramacao, NovoIpRespondendoEmOutroLugarSoFazOsPassosExtras) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        ASSERT_TRUE(rede.AdicionarEndereco(std::string(kIpNovoMudo) + "/32"));
        Simulador sim(28);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(28);
        b.Marcar(kPassoMac);
        b.eq.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";

        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), Eco(kIpNovoMudo), kIpJaExiste,
                   kIpNaoSeraFeito, kConectando, "Enviando programação de MAC...",
                   "Programação recebida:\r\nMAC=00:1A:2B:3C:4D:5E\r\n", "OK.", kReconectando,
                   kFinalizada},
            linhas));
        EXPECT_EQ(0, b.trabalhador.programado.load());
        const auto estado = sim.Estado();
        EXPECT_EQ(TextoParaIp(kIpFabrica), estado.ip) << "no address was sent";
        EXPECT_EQ((std::array<uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), estado.mac);
    });
}

// Family 9 over a serial medium: model 1 still connects over TCP, and only the
// new address is pinged.
TEST(FluxoProgramacao, Familia9NoMeioSerialConectaPorTcp) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(1);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(1, kMeioSerial);
        b.eq.SetPorta("/dev/nao-existe");
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            Linhas{kBanner, kIniciada, kFalhaEco, kConectando, kEnviandoIp, "", "OK", kFinalizada} +
                IpProgramadoNumerico(),
            linhas));
        EXPECT_EQ(TextoParaIp(kIpNovoMudo), sim.Estado().ip);
    });
}

TEST(FluxoProgramacao, Familia15MostraMacEIp) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(19);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(19);
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            InicioTcp() + Linhas{kEnviandoIp, "MAC=02:B4:6D:00:13:65\r\n", "OK", kFinalizada} +
                IpProgramadoNumerico(),
            linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());
    });
}

// ---- family 21: registers, only with "Alterar IP?"

TEST(FluxoProgramacao, Familia21SemEComAlterarIp) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(30);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(30);
        b.Marcar(kPassoEntradasDigitais);
        b.eq.entradasDigitais = 0x00F0;

        // Without the tick: the new address is not pinged nor sent; the read
        // that follows shows the registers, without address lines.
        auto linhas = b.Executar(kAcaoProgramar);
        const Linhas semIp = ProgramacaoEntradasSemIp();
        EXPECT_TRUE(SequenciaIgual(semIp, linhas));
        EXPECT_EQ(0, b.trabalhador.programado.load());
        EXPECT_EQ(TextoParaIp(kIpFabrica), sim.Estado().ip);

        // With it: the registers get the address, and the routine's empty
        // result shows as an empty line.
        b.eq.infoModelo.alterarIp = 1;
        b.eq.infoModelo.passos = {};
        linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(
            InicioTcp() + Linhas{kEnviandoIp, "", "OK", kFinalizada, kLeituraIniciada,
                                 Eco(kIpFabrica), "INFORMAÇÃO EXTRA",
                                 TextoRegistros("010.000.000.050", 0x00F0, 3),
                                 "Leitura finalizada."},
            linhas));
        EXPECT_EQ(1, b.trabalhador.programado.load());
        EXPECT_EQ(TextoParaIp(kIpNovoMudo), sim.Estado().ip);
    });
}

// ---- family 0: no IP programming, the extra steps and the power-cycle notice

TEST(FluxoProgramacao, Familia0SerialETcpFazSoOsPassosEAvisaDesligarLigar) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        const std::string aviso =
            "Para que a configuração entre em vigor é necessário desligar e ligar o equipamento.";
        const std::string texto =
            TextoConfiguracao("TVX3300WEB", kIpFabrica, "255.255.255.0", "0.0.0.0", 25,
                              {"Operadora: 0", "ID: ", "URL: ", "Reconexão: 7 min"});

        {
            SCOPED_TRACE("serial");
            Simulador sim(25);
            const std::string porta = sim.IniciarSerial();
            ASSERT_FALSE(porta.empty());
            Bancada b(&rede);
            b.Modelo(25, kMeioSerial);
            b.eq.SetPorta(porta);
            b.Marcar(kPassoReconexao);
            b.eq.registroReconexao[8] = 7;
            const auto linhas = b.Executar(kAcaoProgramar);
            EXPECT_TRUE(
                SequenciaIgual(Linhas{kBanner, kIniciada, kConectando,
                                      "Enviando programação do tempo de reconexão...", "OK.",
                                      kReconectando, kFinalizada, aviso, kLeituraIniciada} +
                                   FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto),
                               linhas));
            EXPECT_EQ(7, sim.Estado().tempoReconexao);
            EXPECT_EQ(0, b.trabalhador.programado.load());
        }
        {
            SCOPED_TRACE("tcp");
            Simulador sim(25);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            Bancada b(&rede);
            b.Modelo(25, kMeioEsteIp);
            b.Marcar(kPassoReconexao);
            b.eq.registroReconexao[8] = 7;
            const auto linhas = b.Executar(kAcaoProgramar);
            EXPECT_TRUE(SequenciaIgual(
                Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kConectando,
                       "Enviando programação do tempo de reconexão...", "OK.", kReconectando,
                       kFinalizada, aviso, kLeituraIniciada, Eco(kIpFabrica)} +
                    FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto),
                linhas));
            EXPECT_EQ(7, sim.Estado().tempoReconexao);
        }
    });
}

// ---- failures

TEST(FluxoProgramacaoFalhas, IpDeProgramacaoSemRespostaEncerraAntesDeConectar) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(3);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(3, kMeioEsteIp);
        b.eq.SetIpProgramacao("10.0.0.77");
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(
            SequenciaIgual(Linhas{kBanner, kIniciada, kVerificando, kFalhaEco,
                                  "Programação encerrada.Ping com falha para IP de programação."},
                           linhas));
        EXPECT_EQ(0u, sim.Pedidos());
    });
}

TEST(FluxoProgramacaoFalhas, ConexaoRecusada) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Bancada b(&rede);
        b.Modelo(3);
        const auto linhas = b.Executar(kAcaoProgramar);
        EXPECT_TRUE(SequenciaIgual(InicioTcp() + Linhas{kNaoConectou}, linhas));
    });
}

// The device goes away while the run pauses after its extra step.
TEST(FluxoProgramacaoFalhas, ReconexaoRecusadaDepoisDoPassoExtra) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        Simulador sim(23);
        ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        Bancada b(&rede);
        b.Modelo(23);
        b.Marcar(kPassoRtuVelocidade);
        b.eq.registroRtuVelocidade[8] = 2;
        b.eq.registroRtuVelocidade[9] = 9;
        const auto linhas = b.Executar(kAcaoProgramar, [&](const LinhaRecebida& l) {
            if (l.texto == "OK.") {
                sim.Parar();
            }
        });
        EXPECT_TRUE(
            SequenciaIgual(InicioTcp() + Linhas{"Enviando programação de RTU e Velocidade...",
                                                "OK.", kReconectando, kNaoConectou},
                           linhas));
        EXPECT_EQ(0, b.trabalhador.programado.load());
    });
}

TEST(FluxoProgramacaoFalhas, PassoExtraRecusadoEncerraComFalha) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PrepararRede(rede);
        {
            SCOPED_TRACE("RTU and rate refused: its text, the link stays for the run to close");
            Simulador sim(23);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            sim.DefinirFalha(Falha::Recusar, AlvoFalha{'L', 2});
            Bancada b(&rede);
            b.Modelo(23);
            b.Marcar(kPassoRtuVelocidade);
            b.Marcar(kPassoTelemetria);
            const auto linhas = b.Executar(kAcaoProgramar);
            EXPECT_TRUE(
                SequenciaIgual(InicioTcp() + Linhas{"Enviando programação de RTU e Velocidade...",
                                                    "Falha na programação.", "Falha"},
                               linhas));
            EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid());
            EXPECT_EQ(1u, sim.Pedidos()) << "later steps are not visited";
        }
        {
            SCOPED_TRACE("digital inputs refused over Modbus");
            Simulador sim(30);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            sim.DefinirFalha(Falha::ExcecaoModbus, AlvoFalha{{}, {}, 1280});
            Bancada b(&rede);
            b.Modelo(30);
            b.Marcar(kPassoEntradasDigitais);
            const auto linhas = b.Executar(kAcaoProgramar);
            EXPECT_TRUE(
                SequenciaIgual(Linhas{kBanner, kIniciada, kVerificando, Eco(kIpFabrica),
                                      kConectando, "Enviando programação de Entrada Digital...",
                                      "Falha ao programar Entrada Digital", "Falha"},
                               linhas));
        }
    });
}

}  // namespace
}  // namespace tvx
