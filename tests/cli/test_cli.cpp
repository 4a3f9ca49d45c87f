// tvxnetcfg-cli as a child process: what it refuses before any packet
// leaves, what it tells the technician around a run (listings, exit codes,
// the last line of a stopped run, the frame trace, why a serial port did not
// open), a terminal that goes away, and a run of each action against the
// simulator for the wiring of lines, exit code, log and saved configuration.
// Every case runs in an isolated network all the same: a fault that let a
// refused run through would otherwise reach for the factory address.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/utilitarios.h"
#include "processo.h"
#include "sim/simulador.h"
#include "support/pty_teste.h"
#include "support/rede_isolada.h"
#include "transport/os/porta_serial_linux.h"

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

std::string UltimaLinha(const std::string& texto) {
    const size_t fim = texto.find_last_not_of('\n');
    const size_t inicio = texto.rfind('\n', fim);
    return texto.substr(inicio == std::string::npos ? 0 : inicio + 1, fim - inicio);
}

// The argument list of a programming run of model 3 at 127.0.0.2.
std::vector<std::string> Programar(const std::string& ip) {
    return {"--model", "3",      "--medium",  "1",         "--address", "127.0.0.2", "--ip",
            ip,        "--mask", "255.0.0.0", "--gateway", "0.0.0.0",   "program"};
}

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

TEST(CliRecusas, AjudaEListagens) {
    PastaTemporaria pasta;
    const ResultadoCli r = ExecutarCli({"--help"}, pasta.Caminho());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.erros, "");
    EXPECT_EQ(r.saida.rfind("Uso: tvxnetcfg-cli [OPÇÕES] AÇÃO", 0), 0u) << r.saida;
    EXPECT_NE(r.saida.find("O meio 0 (IP Default) fala com o endereço de fábrica 192.168.0.101 na "
                           "rede"),
              std::string::npos);

    const ResultadoCli parametros = ExecutarCli({"--model", "6", "--list-params"}, pasta.Caminho());
    EXPECT_EQ(parametros.codigo, 0) << parametros.erros;
    EXPECT_EQ(parametros.saida,
              "Modelo 6 (TVX6400ST), família 10: linhas da página de parâmetros (--param "
              "'RÓTULO=VALOR')\n"
              "[Configuração de IP, Máscara e Gateway]\n"
              "  IP\n    endereço a.b.c.d\n    atual: \"\"\n"
              "  Máscara\n    endereço a.b.c.d\n    atual: \"\"\n"
              "  Gateway\n    endereço a.b.c.d\n    atual: \"\"\n"
              "[MAC - Avançado]\n"
              "  Alterar MAC?\n    marcar: 0 ou 1\n    atual: 0\n"
              "  MAC (xx:xx:xx:xx:xx:xx)\n    texto na máscara 02:B4:6D:**:**:** (# um dígito, * "
              "uma letra ou dígito)\n    atual: \"\"\n");
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
        // The lines themselves are the whole-run tests' (the serial read).
        EXPECT_TRUE(r.saida.ends_with("MAC: 02:B4:6D:00:03:65\nRTU: 1\n\nLeitura finalizada.\n"))
            << r.saida;
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

TEST(CliVerdade, ConflitoDeEnderecoTemCodigoProprio) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
        PastaTemporaria pasta;
        // Every loopback address answers: 127.0.0.9 is "already on the network".
        const ResultadoCli r = ExecutarCli(Programar("127.0.0.9"), pasta.Caminho());
        EXPECT_EQ(r.codigo, 3) << r.erros;
        EXPECT_NE(r.saida.find("IP a ser programado já existe na rede.\nProgramação de IP não "
                               "será feita.\nConectando no equipamento...\nProgramação "
                               "finalizada.\n"),
                  std::string::npos)
            << r.saida;
        EXPECT_FALSE(equipamento.Estado().pendente.has_value());
        EXPECT_EQ(LerArquivo(pasta / "tvxnetcfg.ini"), "");  // no --save
    });
}

// SIGINT at a point of the run; the exit code, the last line of the error
// output, and the time the stop took. The stop's line comes at once.
TEST(CliVerdade, InterrupcaoDizOEstadoDoEquipamento) {
    struct Caso {
        std::vector<std::string> argumentos;
        std::string aguardar;  // the line of the output to send SIGINT after
        sim::Falha falha;
        int codigo;
        std::string estado;
        const char* nunca;  // what the stopped run must not go on to show
    };
    const std::vector<Caso> casos{
        // Echoes into the mute network wait out their time-out.
        {{"--model", "3", "--medium", "1", "--address", "10.0.0.1", "--ip", "10.0.0.2", "read"},
         "Leitura iniciada...\n",
         sim::Falha::Nenhuma,
         4,
         "tvxnetcfg-cli: interrompido: equipamento não programado (nada que o altere foi enviado) "
         "(código 4)",
         "Leitura finalizada."},
        {Programar("10.0.0.50"), "8s...\n", sim::Falha::Nenhuma, 5,
         "tvxnetcfg-cli: interrompido: equipamento programado com o IP 10.0.0.50 e reiniciando; "
         "em uns 10 s ele responde no IP novo (use test) (código 5)",
         "Não respondeu"},
        // The device takes the command and never answers: 30 s of wait, cut.
        {Programar("10.0.0.50"), "Enviando programação de IP...\n", sim::Falha::Calar, 6,
         "tvxnetcfg-cli: interrompido: estado do equipamento desconhecido (parado com uma "
         "programação a caminho); leia-o com read antes de repetir (código 6)",
         "Não respondeu"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        for (const Caso& c : casos) {
            sim::Simulador equipamento(3);
            equipamento.DefinirFalha(c.falha, {'L', 22});
            ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
            PastaTemporaria pasta;
            Processo processo(TVX_CLI, c.argumentos, pasta.Caminho());
            ASSERT_TRUE(processo.AguardarSaida(c.aguardar, 20s)) << processo.Saida();
            std::this_thread::sleep_for(300ms);  // in the countdown, or the reply's wait
            const auto inicio = std::chrono::steady_clock::now();
            processo.Sinalizar(SIGINT);
            EXPECT_EQ(processo.Aguardar(10s), c.codigo);
            EXPECT_LT(std::chrono::steady_clock::now() - inicio, 2s);
            EXPECT_EQ(UltimaLinha(processo.Erros()), c.estado);
            const std::string saida = processo.Saida();
            EXPECT_NE(saida.find(c.aguardar + "Finalizando tarefas...\n"), std::string::npos)
                << saida;
            EXPECT_EQ(UltimaLinha(saida), "Tarefas finalizadas.");
            EXPECT_EQ(saida.find(c.nunca), std::string::npos) << saida;
            ConferirLog(pasta / "tvxnetcfg.log", saida);
        }
    });
}

// The trace holds each frame of the run byte for byte, and nothing else of
// the run changes.
TEST(CliVerdade, RastroTrazCadaQuadroByteAByte) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
        PastaTemporaria pasta;
        const std::vector<std::string> leitura{"--model",   "3",         "--medium", "1",
                                               "--address", "127.0.0.2", "read"};
        const ResultadoCli sem = ExecutarCli(leitura, pasta.Caminho());
        std::vector<std::string> comRastro = leitura;
        comRastro.insert(comRastro.begin(), {"--trace", "quadros.txt", "--log", "outro.log"});
        const ResultadoCli com = ExecutarCli(comRastro, pasta.Caminho());
        EXPECT_EQ(com.codigo, 0) << com.erros;
        EXPECT_EQ(com.saida, sem.saida);
        // The time of day of each frame varies.
        EXPECT_EQ(std::regex_replace(LerArquivo(pasta / "quadros.txt"),
                                     std::regex(R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )"),
                                     "\nHORA "),
                  "# TVXNetCfg: quadros trocados com o equipamento (>> enviado, << recebido)\n"
                  "HORA TCP 127.0.0.2:5003 >> 21 bytes\n"
                  "  0000  00 00 03 00 00 00 00 05 01 ff 00 09 10 02 01 4c  |...............L|\n"
                  "  0010  1f 10 03 a8 e0                                   |.....|\n"
                  "HORA TCP 127.0.0.2:5003 << 110 bytes\n"
                  "  0000  00 6c 10 02 01 54 56 58 35 31 35 30 53 0d 0a 49  |.l...TVX5150S..I|\n"
                  "  0010  50 3a 20 31 39 32 2e 31 36 38 2e 30 2e 31 30 31  |P: 192.168.0.101|\n"
                  "  0020  0d 0a 4d 61 73 6b 3a 20 32 35 35 2e 32 35 35 2e  |..Mask: 255.255.|\n"
                  "  0030  32 35 35 2e 30 0d 0a 47 61 74 65 77 61 79 3a 20  |255.0..Gateway: |\n"
                  "  0040  30 2e 30 2e 30 2e 30 0d 0a 4d 41 43 3a 20 30 32  |0.0.0.0..MAC: 02|\n"
                  "  0050  3a 42 34 3a 36 44 3a 30 30 3a 30 33 3a 36 35 0d  |:B4:6D:00:03:65.|\n"
                  "  0060  0a 52 54 55 3a 20 31 0d 0a 00 10 03 b7 3f        |.RTU: 1......?|\n");
    });
}

// "Não conectou com o equipamento pela porta serial." and, on the error
// output, why.
TEST(CliVerdade, PortaSerialDizPorQueNaoAbriu) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        PastaTemporaria pasta;
        PtyTeste ocupada, protegida;
        PortaSerialOs outra;
        ASSERT_TRUE(outra.Abrir(ocupada.CaminhoEscravo()));
        // Root opens any device: the refusal needs a user without rights.
        ASSERT_EQ(::chown(protegida.CaminhoEscravo().c_str(), 0, 20), 0);  // group dialout
        ASSERT_EQ(::chmod(protegida.CaminhoEscravo().c_str(), 0660), 0);
        ASSERT_EQ(::chmod(pasta.Caminho().c_str(), 0777), 0);
        const struct {
            std::string usuario, porta, motivo;
        } casos[] = {
            {"setpriv --reuid=nobody --regid=nogroup --clear-groups ", protegida.CaminhoEscravo(),
             "sem permissão para abrir \"" + protegida.CaminhoEscravo() +
                 "\" (grupo dialout): o usuário nobody não está no grupo dialout; para entrar: "
                 "sudo usermod -aG dialout nobody (depois saia e entre de novo na sessão)"},
            {"", "/dev/tvx-nao-existe",
             "a porta \"/dev/tvx-nao-existe\" não existe: confira o nome e se o adaptador "
             "USB-serial está ligado"},
            {"", ocupada.CaminhoEscravo(),
             "a porta \"" + ocupada.CaminhoEscravo() +
                 "\" está em uso por outro programa (testes_cli, pid " + std::to_string(getpid()) +
                 ", que a trava)"},
        };
        for (const auto& c : casos) {
            EXPECT_EQ(
                rede.Executar("cd '" + pasta.Caminho() + "' && " + c.usuario + TVX_CLI +
                              " --model 3 --medium 2 --port " + c.porta + " read >saida 2>erros"),
                1);
            EXPECT_NE(LerArquivo(pasta / "saida")
                          .find("Não conectou com o equipamento pela porta serial.\n"),
                      std::string::npos);
            EXPECT_EQ(UltimaLinha(LerArquivo(pasta / "erros")), "tvxnetcfg-cli: " + c.motivo);
        }
    });
}

// A reader that closes the pipe or a hang-up in the middle of a run never
// costs a line of the log or leaves the device half programmed.
TEST(CliArquivos, PipeFechadoESinalHupNoMeioDaExecucao) {
    struct Caso {
        const char* leitor;  // what reads the program's output, as a shell pipes it
        const char* codigo;  // the program's exit code
        const char* ultima;  // the log's last line
    } casos[] = {
        {"head -n 8", "0\n", "Leitura finalizada."},
        // The terminal closed: a hang-up, and nobody reads any more.
        {"{ while IFS= read -r l; do echo \"$l\"; [ \"$l\" = 'Equipamento "
         "reiniciado.Aguardando retorno do reset..' ] && break; done; kill -HUP $(cat pid); }",
         "5\n", "Tarefas finalizadas."},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        for (const Caso& c : casos) {
            SCOPED_TRACE(c.leitor);
            sim::Simulador equipamento(3);
            ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
            PastaTemporaria pasta;
            rede.Executar("cd " + pasta.Caminho() +
                          " && { " TVX_CLI
                          " --model 3 --medium 1 --address 127.0.0.2 --ip 10.0.0.50 --mask "
                          "255.255.255.0 --gateway 10.0.0.1 program & echo $! > pid; wait $!; "
                          "echo $? > rc; } | " +
                          c.leitor + " > lidas");
            EXPECT_EQ(LerArquivo(pasta / "rc"), c.codigo);
            // Every line in the log, in order, those the pipe took among them.
            const LogLido log = LerLog(LerArquivo(pasta / "tvxnetcfg.log"));
            EXPECT_TRUE(log.texto.starts_with(LerArquivo(pasta / "lidas"))) << log.texto;
            EXPECT_TRUE(log.texto.ends_with(std::string("\n") + c.ultima + "\n")) << log.texto;
            // The device went through the whole programming and its restart; the
            // hang-up cut the countdown.
            EXPECT_EQ(log.texto.find("\n1s...\n") != std::string::npos, c.codigo[0] == '0');
            EXPECT_EQ(equipamento.Estado().ip, TextoParaIp("10.0.0.50"));
            EXPECT_EQ(equipamento.Estado().resets, 1);
        }
    });
}

}  // namespace
}  // namespace tvx::teste
