// tvxnetcfg-cli as a child process: what it refuses before any packet
// leaves, and a run of each action against the simulator for the wiring of
// lines, exit code, log and saved configuration. Every case runs in an
// isolated network all the same: a fault that let a refused run through
// would otherwise reach for the factory address.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "processo.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;
using Linhas = std::vector<std::string>;

// The output's lines; the round trip of an echo varies and reads "N".
Linhas LinhasDe(const std::string& texto) {
    Linhas linhas;
    std::istringstream s(texto);
    for (std::string l; std::getline(s, l);) {
        const size_t tempo = l.find("Tempo:");
        if (tempo != std::string::npos) {
            l.replace(tempo + 6, l.find(" ms", tempo) - tempo - 6, "N");
        }
        linhas.push_back(l);
    }
    return linhas;
}

std::string Eco(const std::string& ip) {
    return "Ping recebido de " + ip + " ,Status=0 ,Tempo:N ms ,Bytes:32";
}

// The log as the terminal showed it: every message starts with the date and
// time prefix, the lines inside a message do not.
void ConferirLog(const std::string& arquivo, const std::string& saida) {
    const LogLido lido = LerLog(LerArquivo(arquivo));
    EXPECT_TRUE(lido.crlf) << "every line ends with CR LF";
    EXPECT_EQ(lido.texto, saida);
    EXPECT_GE(lido.mensagens, 3u);
}

std::string Opcao(const std::string& erro) {
    return "tvxnetcfg-cli: " + erro + "\nUse tvxnetcfg-cli --help para ver as opções.\n";
}

const char* const kIni =
    "[CONFIG]\r\nip=127.0.0.9\r\nmodelo=3\r\n[MEIO]\r\ntipo=1\r\nip=127.0.0.1\r\n";

TEST(CliRecusas, NadaExecutadoNemGravado) {
    struct Caso {
        Linhas argumentos;
        std::string erros;
        const char* ini = kIni;
    };
    const Caso casos[] = {
        {{"--model", "35", "program"}, Opcao("--model precisa de um número de 1 a 34: \"35\"")},
        {{"--model", "-1", "read"}, Opcao("--model precisa de um número de 1 a 34: \"-1\"")},
        {{"--model=3x", "read"}, Opcao("--model precisa de um número de 1 a 34: \"3x\"")},
        {{"--model", " 3", "read"}, Opcao("--model precisa de um número de 1 a 34: \" 3\"")},
        {{"--rtu", "256", "read"}, Opcao("--rtu precisa de um número de 0 a 255: \"256\"")},
        {{"--medium", "3", "read"},
         Opcao("--medium precisa de 0 (IP Default), 1 (Este IP) ou 2 (Serial): \"3\"")},
        {{"--rate", "9601", "read"},
         Opcao("--rate precisa de uma velocidade da tabela (110, 300, 600, 1200, 2400, 4800, "
               "9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000): \"9601\"")},
        {{"--ip", "10.0.0.256", "read"},
         Opcao("--ip precisa de um endereço a.b.c.d com números de 0 a 255: \"10.0.0.256\"")},
        {{"--address", "127.0.1", "read"},
         Opcao("--address precisa de um endereço a.b.c.d com números de 0 a 255: \"127.0.1\"")},
        {{"--param", "Alterar MAC?", "read"},
         Opcao("--param precisa de 'RÓTULO=VALOR': \"Alterar MAC?\"")},
        {{"--model"}, Opcao("--model precisa de um valor")},
        {{"--modelo", "3", "read"}, Opcao("opção desconhecida: --modelo")},
        {{"program", "read"}, Opcao("só uma ação por vez: \"read\"")},
        {{"programar"}, Opcao("ação desconhecida: \"programar\" (use program, test ou read)")},
        {{"--save"}, Opcao("falta a ação: program, test ou read")},
        {{"--model", "8", "--medium", "1", "--address", "127.0.0.1", "read"},
         "tvxnetcfg-cli: o modelo 8 (TVX900) não oferece o meio 1\n"},
        {{"--model", "25", "--medium", "0", "read"},
         "tvxnetcfg-cli: o modelo 25 (TVX3300WEB) não oferece o meio 0\n"},
        {{"--medium", "2", "--address", "127.0.0.1", "--port", "/dev/null", "read"},
         "tvxnetcfg-cli: --address vale só para o meio 1 (Este IP); o meio é 2\n"},
        {{"--config", "nao-existe.ini", "read"},
         "tvxnetcfg-cli: não foi possível ler o arquivo de configuração \"nao-existe.ini\"\n"},
        {{"--param", "Alterar MAC?=1", "program"},
         "tvxnetcfg-cli: --param 'Alterar MAC?=1': Parâmetro desconhecido para este modelo: "
         "\"Alterar MAC?\"\nRótulos deste modelo:\n  IP\n  Máscara\n  Gateway\n"},
        {{"--model", "6", "--medium", "1", "--param", "Alterar MAC?=sim", "program"},
         "tvxnetcfg-cli: --param 'Alterar MAC?=sim': \"Alterar MAC?\" aceita 0 ou 1\n"},
        // The page's own refusals: its message and the row it is about.
        {{"--model", "3", "--medium", "1", "--address", "127.0.0.1", "program"},
         "tvxnetcfg-cli: IP inválido (linha \"IP\": --ip)\n",
         "[CONFIG]\r\nmodelo=3\r\n"},
        {{"--model", "3", "--medium", "1", "--address", "127.0.0.1", "--ip", "10.0.0.5", "program"},
         "tvxnetcfg-cli: Máscara inválida (linha \"Máscara\": --mask)\n"},
        {{"--model", "6", "--medium", "1", "--address", "127.0.0.1", "--ip", "10.0.0.5", "--mask",
          "255.0.0.0", "--param", "Alterar MAC?=1", "program"},
         "tvxnetcfg-cli: MAC inválido (linha \"MAC (xx:xx:xx:xx:xx:xx)\": --param "
         "'MAC (xx:xx:xx:xx:xx:xx)=...')\n"},
        {{"--model", "19", "--medium", "0", "--ip", "10.0.0.5", "--mask", "255.0.0.0", "--param",
          "Medidor 2 - IP=10.0.0.5", "--param", "Medidor 2 - RTU=3", "--param",
          "Medidor 2 - Função=(4) Read Input Register", "--param",
          "Medidor 2 - Número de Registros=126", "--save", "program"},
         "tvxnetcfg-cli: Medidor 2 - Número de Registros inválido (maior que 125) (linha "
         "\"Medidor 2 - Número de Registros\": --param 'Medidor 2 - Número de Registros=...')\n"},
        {{"program"},
         "tvxnetcfg-cli: o meio 1 (Este IP) precisa de um endereço: use --address\n",
         "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=1\r\n"},
        {{"program"},
         "tvxnetcfg-cli: Selecione um meio de comunicação. (--medium 0, 1 ou 2)\n",
         "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=7\r\n"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const Caso& c : casos) {
            SCOPED_TRACE(c.erros);
            PastaTemporaria pasta;
            GravarArquivo(pasta / "tvxnetcfg.ini", c.ini);
            const ResultadoCli r = ExecutarCli(c.argumentos, pasta.Caminho());
            EXPECT_EQ(r.codigo, 2);
            EXPECT_EQ(r.erros, c.erros);
            EXPECT_EQ(r.saida, "");
            EXPECT_EQ(LerArquivo(pasta / "tvxnetcfg.ini"), c.ini);
            EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.log"));
        }
    });
}

TEST(CliRecusas, AjudaDizOQueOMeio0Alcanca) {
    PastaTemporaria pasta;
    const ResultadoCli r = ExecutarCli({"--help"}, pasta.Caminho());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.erros, "");
    EXPECT_EQ(r.saida.rfind("Uso: tvxnetcfg-cli [OPÇÕES] AÇÃO", 0), 0u) << r.saida;
    EXPECT_NE(r.saida.find("O meio 0 (IP Default) fala com o endereço de fábrica 192.168.0.101 na "
                           "rede"),
              std::string::npos);
}

// Model 22 keeps the new addresses for a power cycle: the read that follows
// shows those still in force.
TEST(CliExecucao, ProgramacaoComLogEConfiguracaoGravada) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(22);
        ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
        PastaTemporaria pasta;
        const ResultadoCli r = ExecutarCli(
            {"--model", "22", "--medium", "1", "--address", "127.0.0.2", "--ip", "10.0.0.50",
             "--mask", "255.255.255.0", "--gateway", "10.0.0.1", "--save", "program"},
            pasta.Caminho());
        EXPECT_EQ(r.codigo, 0);
        EXPECT_TRUE(r.erros.starts_with("tvxnetcfg-cli: program\n")) << r.erros;
        EXPECT_EQ(LinhasDe(r.saida),
                  (Linhas{"TVXNetCfg - v19.1.3",
                          "Programação iniciada...",
                          "Verificando se o IP de programação está presente na rede...",
                          Eco("127.0.0.2"),
                          "Ping falhou: 11002",
                          "Conectando no equipamento...",
                          "Enviando programação de IP...",
                          "Programação de IP OK.",
                          "OK",
                          "Programação finalizada.",
                          "Leitura iniciada...",
                          Eco("127.0.0.2"),
                          "IP:192.168.0.101",
                          "MASK:255.255.255.0",
                          "GW:0.0.0.0",
                          "INFORMAÇÃO EXTRA",
                          "TVX3500R",
                          "IP: 192.168.0.101",
                          "Mask: 255.255.255.0",
                          "Gateway: 0.0.0.0",
                          "MAC: 02:B4:6D:00:16:65",
                          "RTU: 1",
                          "",
                          "Leitura finalizada."}));
        const auto pendente = equipamento.Estado().pendente;
        ASSERT_TRUE(pendente.has_value());
        EXPECT_EQ((*pendente)[0], 0x3200000Au);  // 10.0.0.50
        ConferirLog(pasta / "tvxnetcfg.log", r.saida);
        const std::string ini = LerArquivo(pasta / "tvxnetcfg.ini");
        for (const char* linha : {"[CONFIG]\r\nip=10.0.0.50\r\nmask=255.255.255.0\r\n"
                                  "gateway=10.0.0.1\r\nmodelo=22\r\n",
                                  "[MEIO]\r\ntipo=1\r\nip=127.0.0.2\r\n"}) {
            EXPECT_NE(ini.find(linha), std::string::npos) << linha << "\n" << ini;
        }
    });
}

TEST(CliExecucao, LeituraPelaSerialComLogEscolhido) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        const std::string porta = equipamento.IniciarSerial();
        ASSERT_FALSE(porta.empty());
        PastaTemporaria pasta;
        const ResultadoCli r =
            ExecutarCli({"--model", "3", "--medium", "2", "--port", porta, "--rate", "38400",
                         "--rtu", "1", "--log", pasta / "leitura.log", "--save", "read"},
                        pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        EXPECT_EQ(LinhasDe(r.saida),
                  (Linhas{"TVXNetCfg - v19.1.3", "Leitura iniciada...", "IP:192.168.0.101",
                          "MASK:255.255.255.0", "GW:0.0.0.0", "INFORMAÇÃO EXTRA", "TVX5150S",
                          "IP: 192.168.0.101", "Mask: 255.255.255.0", "Gateway: 0.0.0.0",
                          "MAC: 02:B4:6D:00:03:65", "RTU: 1", "", "Leitura finalizada."}));
        ConferirLog(pasta / "leitura.log", r.saida);
        EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.log"));
        EXPECT_NE(LerArquivo(pasta / "tvxnetcfg.ini")
                      .find("[MEIO]\r\ntipo=2\r\nip=\r\nporta=" + porta +
                            "\r\nvelocidade=38400\r\nrtu=1\r\n"),
                  std::string::npos);
    });
}

// A model without a serial port falls back to the factory address, and says so.
TEST(CliExecucao, MeioSerialSemPortaVaiAoEnderecoDeFabrica) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        sim::Simulador equipamento(15);
        ASSERT_TRUE(equipamento.IniciarTcp("192.168.0.101"));
        PastaTemporaria pasta;
        GravarArquivo(pasta / "config.ini",
                      "[CONFIG]\r\nmodelo=15\r\n[MEIO]\r\ntipo=2\r\nporta=COM3\r\n");
        const ResultadoCli r = ExecutarCli({"--config", "config.ini", "read"}, pasta.Caminho());
        EXPECT_EQ(r.codigo, 0);
        EXPECT_TRUE(
            r.erros.starts_with("tvxnetcfg-cli: o modelo 15 (TVX8100) não tem porta "
                                "serial: meio 0, IP Default (192.168.0.101)\n"));
        const Linhas linhas = LinhasDe(r.saida);
        ASSERT_GE(linhas.size(), 4u);
        EXPECT_EQ(linhas[2], Eco("192.168.0.101"));
        EXPECT_EQ(linhas[3], "IP:192.168.0.101");
    });
}

TEST(CliExecucao, ConexaoRecusadaTerminaComFalha) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        PastaTemporaria pasta;
        const ResultadoCli r =
            ExecutarCli({"--model", "3", "--medium", "1", "--address", "127.0.0.3", "--ip",
                         "10.0.0.50", "--mask", "255.0.0.0", "program"},
                        pasta.Caminho());
        EXPECT_EQ(r.codigo, 1);
        EXPECT_EQ(LinhasDe(r.saida),
                  (Linhas{"TVXNetCfg - v19.1.3", "Programação iniciada...",
                          "Verificando se o IP de programação está presente na rede...",
                          Eco("127.0.0.3"), "Ping falhou: 11002", "Conectando no equipamento...",
                          "Não conectou no equipamento.Verifique o firewall."}));
        ConferirLog(pasta / "tvxnetcfg.log", r.saida);
        EXPECT_EQ(LerArquivo(pasta / "tvxnetcfg.ini"), "");  // no --save
    });
}

// The page's warning goes to the error output and does not stop the run.
TEST(CliExecucao, TesteComAvisoDaPagina) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        PastaTemporaria pasta;
        const ResultadoCli r =
            ExecutarCli({"--model", "24", "--medium", "1", "--address", "127.0.0.1", "--ip",
                         "127.0.0.4", "--mask", "255.0.0.0", "--param", "Alterar URL?=1", "test"},
                        pasta.Caminho());
        EXPECT_EQ(r.codigo, 0);
        EXPECT_TRUE(
            r.erros.starts_with("tvxnetcfg-cli: A Telemetria será desabilitada! (linha "
                                "\"URL (Telemetria)\": --param 'URL (Telemetria)=...')\n"));
        const Linhas linhas = LinhasDe(r.saida);
        ASSERT_GE(linhas.size(), 3u);
        EXPECT_EQ(linhas[1], "Verificando IP programado...");
        EXPECT_EQ(linhas.back(), "IP programado OK.");
    });
}

TEST(CliExecucao, InterrupcaoParaAExecucao) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        // Echoes into this network are swallowed: each waits out its time-out.
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.9.0.0/24"));
        PastaTemporaria pasta;
        Processo processo(
            TVX_CLI,
            {"--model", "3", "--medium", "1", "--address", "10.9.0.1", "--ip", "10.9.0.2", "read"},
            pasta.Caminho());
        ASSERT_TRUE(processo.AguardarSaida("Leitura iniciada...\n", 10s)) << processo.Saida();
        const auto inicio = std::chrono::steady_clock::now();
        processo.Sinalizar(SIGINT);
        EXPECT_EQ(processo.Aguardar(20s), 4);
        EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s);
        const Linhas linhas = LinhasDe(processo.Saida());
        ASSERT_GE(linhas.size(), 4u);
        EXPECT_EQ(linhas[2], "Finalizando tarefas...");
        EXPECT_EQ(linhas.back(), "Tarefas finalizadas.");
        EXPECT_EQ(std::count(linhas.begin(), linhas.end(), "Leitura finalizada."), 0);
        ConferirLog(pasta / "tvxnetcfg.log", processo.Saida());
    });
}

}  // namespace
}  // namespace tvx::teste
