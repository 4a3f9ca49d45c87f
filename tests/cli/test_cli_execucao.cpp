// Whole runs of tvxnetcfg-cli against the simulated equipment, each inside an
// isolated network namespace that the test creates: lines, exit code, log
// file and saved configuration.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/texto.h"
#include "core/utilitarios.h"
#include "processo_cli.h"
#include "support/rede_isolada.h"

#ifdef TVX_COM_SIMULADOR
#include "sim/simulador.h"
#endif

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;
using Linhas = std::vector<std::string>;

// The output's lines; the round trip of an echo varies and reads "N".
Linhas LinhasDe(const std::string& texto) {
    static const std::regex tempo("Tempo:[0-9]+ ms");
    Linhas linhas;
    std::istringstream s(texto);
    for (std::string l; std::getline(s, l);) {
        linhas.push_back(std::regex_replace(l, tempo, "Tempo:N ms"));
    }
    return linhas;
}

Linhas Unir(std::initializer_list<Linhas> partes) {
    Linhas todas;
    for (const Linhas& p : partes) {
        todas.insert(todas.end(), p.begin(), p.end());
    }
    return todas;
}

const Linhas kContagem{"10s...", "9s...", "8s...", "7s...", "6s...",
                       "5s...",  "4s...", "3s...", "2s...", "1s..."};

Linhas Eco(const std::string& ip) {
    return {"Ping recebido de " + ip + " ,Status=0 ,Tempo:N ms ,Bytes:32"};
}

// The log as the terminal showed it: every message starts with the date and
// time prefix, the lines inside a message do not.
void ConferirLog(const std::string& log, const std::string& saida) {
    const LogLido lido = LerLog(log);
    EXPECT_TRUE(lido.crlf) << "every line ends with CR LF";
    EXPECT_EQ(lido.texto, saida);
    EXPECT_GE(lido.mensagens, 3u);
}

#ifdef TVX_COM_SIMULADOR

TEST(CliExecucao, ProgramacaoFamilia10LogESave) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
        PastaTemporaria pasta;
        const ResultadoCli r = ExecutarCli(
            {"--model", "3", "--medium", "1", "--address", "127.0.0.2", "--ip", "10.0.0.50",
             "--mask", "255.255.255.0", "--gateway", "10.0.0.1", "--save", "program"},
            pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        EXPECT_EQ(r.erros, "");
        const Linhas esperadas = Unir({
            {"TVXNetCfg - v19.1.3", "Programação iniciada...",
             "Verificando se o IP de programação está presente na rede..."},
            Eco("127.0.0.2"),
            {"Ping falhou: 11002", "Conectando no equipamento...", "Enviando programação de IP...",
             "Programação de IP OK.", "OK", "Programação finalizada.",
             "Equipamento reiniciado.Aguardando retorno do reset.."},
            kContagem,
            {"Leitura iniciada..."},
            Eco("127.0.0.2"),
            {"IP:10.0.0.50", "MASK:255.255.255.0", "GW:10.0.0.1", "INFORMAÇÃO EXTRA", "TVX5150S",
             "IP: 10.0.0.50", "Mask: 255.255.255.0", "Gateway: 10.0.0.1", "MAC: 02:B4:6D:00:03:65",
             "RTU: 1", "", "Leitura finalizada."},
        });
        EXPECT_EQ(LinhasDe(r.saida), esperadas);
        EXPECT_EQ(equipamento.Estado().ip, 0x3200000Au);  // 10.0.0.50, reset applied

        ConferirLog(LerArquivo(pasta / "tvxnetcfg.log"), r.saida);
        const std::string ini = LerArquivo(pasta / "tvxnetcfg.ini");
        for (const char* linha :
             {"[CONFIG]\r\nip=10.0.0.50\r\nmask=255.255.255.0\r\ngateway=10.0.0.1\r\nmodelo=3\r\n",
              "[MEIO]\r\ntipo=1\r\nip=127.0.0.2\r\n"}) {
            EXPECT_NE(ini.find(linha), std::string::npos) << linha << "\n" << ini;
        }
    });
}

TEST(CliExecucao, LeituraComLogEscolhido) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        sim::EstadoEquipamento estado = equipamento.Estado();
        estado.ip = TextoParaIp("10.1.2.3");
        estado.mascara = TextoParaIp("255.255.0.0");
        estado.gateway = TextoParaIp("10.1.0.1");
        equipamento.DefinirEstado(estado);
        ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
        PastaTemporaria pasta;
        const ResultadoCli r = ExecutarCli({"--model", "3", "--medium", "1", "--address",
                                            "127.0.0.2", "--log", pasta / "leitura.log", "read"},
                                           pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        const Linhas esperadas = Unir({
            {"TVXNetCfg - v19.1.3", "Leitura iniciada..."},
            Eco("127.0.0.2"),
            {"IP:10.1.2.3", "MASK:255.255.0.0", "GW:10.1.0.1", "INFORMAÇÃO EXTRA", "TVX5150S",
             "IP: 10.1.2.3", "Mask: 255.255.0.0", "Gateway: 10.1.0.1", "MAC: 02:B4:6D:00:03:65",
             "RTU: 1", "", "Leitura finalizada."},
        });
        EXPECT_EQ(LinhasDe(r.saida), esperadas);
        ConferirLog(LerArquivo(pasta / "leitura.log"), r.saida);
        EXPECT_FALSE(std::filesystem::exists(pasta / "tvxnetcfg.log"));
        EXPECT_EQ(LerArquivo(pasta / "tvxnetcfg.ini"), "");  // no --save
    });
}

TEST(CliExecucao, MeioSerialSemPortaVaiAoEnderecoDeFabrica) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        sim::Simulador equipamento(15);
        ASSERT_TRUE(equipamento.IniciarTcp("192.168.0.101"));
        PastaTemporaria pasta;
        GravarArquivo(pasta / "config.ini",
                      "[CONFIG]\r\nmodelo=15\r\n[MEIO]\r\ntipo=2\r\nporta=COM3\r\n");
        const ResultadoCli r = ExecutarCli({"--config", "config.ini", "read"}, pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        EXPECT_EQ(r.erros,
                  "tvxnetcfg-cli: o modelo 15 (TVX8100) não tem porta serial: meio 0, IP Default "
                  "(192.168.0.101)\n");
        const Linhas linhas = LinhasDe(r.saida);
        ASSERT_GE(linhas.size(), 4u);
        EXPECT_EQ(linhas[2], Eco("192.168.0.101")[0]);
        EXPECT_EQ(linhas[3], "IP:192.168.0.101");
        EXPECT_EQ(linhas.back(), "Leitura finalizada.");
    });
}

TEST(CliExecucao, LeituraPelaSerial) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        sim::Simulador equipamento(3);
        const std::string porta = equipamento.IniciarSerial();
        ASSERT_FALSE(porta.empty());
        PastaTemporaria pasta;
        const ResultadoCli r = ExecutarCli({"--model", "3", "--medium", "2", "--port", porta,
                                            "--rate", "38400", "--rtu", "1", "--save", "read"},
                                           pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        const Linhas linhas = LinhasDe(r.saida);
        ASSERT_GE(linhas.size(), 3u);
        EXPECT_EQ(linhas[1], "Leitura iniciada...");
        EXPECT_EQ(linhas[2], "IP:192.168.0.101");  // no echo on a serial line
        EXPECT_EQ(linhas.back(), "Leitura finalizada.");
        const std::string ini = LerArquivo(pasta / "tvxnetcfg.ini");
        EXPECT_NE(ini.find("[MEIO]\r\ntipo=2\r\nip=\r\nporta=" + porta +
                           "\r\nvelocidade=38400\r\nrtu=1\r\n"),
                  std::string::npos)
            << ini;
    });
}

#endif  // TVX_COM_SIMULADOR

TEST(CliExecucao, ConexaoRecusadaTerminaComFalha) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        PastaTemporaria pasta;
        const ResultadoCli r = ExecutarCli({"--model", "3", "--medium", "1", "--address",
                                            "127.0.0.3", "--ip", "10.0.0.50", "program"},
                                           pasta.Caminho());
        EXPECT_EQ(r.codigo, 1);
        const Linhas esperadas = Unir({
            {"TVXNetCfg - v19.1.3", "Programação iniciada...",
             "Verificando se o IP de programação está presente na rede..."},
            Eco("127.0.0.3"),
            {"Ping falhou: 11002", "Conectando no equipamento...",
             "Não conectou no equipamento.Verifique o firewall."},
        });
        EXPECT_EQ(LinhasDe(r.saida), esperadas);
        ConferirLog(LerArquivo(pasta / "tvxnetcfg.log"), r.saida);
    });
}

TEST(CliExecucao, AvisoDaPaginaNaoImpedeOTeste) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        PastaTemporaria pasta;
        const ResultadoCli r =
            ExecutarCli({"--model", "24", "--medium", "1", "--address", "127.0.0.1", "--ip",
                         "127.0.0.4", "--param", "Alterar URL?=1", "test"},
                        pasta.Caminho());
        EXPECT_EQ(r.codigo, 0);
        EXPECT_EQ(r.erros, "A Telemetria será desabilitada!\n");
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
        ProcessoCli processo(
            {"--model", "3", "--medium", "1", "--address", "10.9.0.1", "--ip", "10.9.0.2", "read"},
            pasta.Caminho());
        ASSERT_TRUE(processo.Iniciado());
        ASSERT_TRUE(processo.AguardarSaida("Leitura iniciada...\n", 10s)) << processo.Saida();
        const auto inicio = std::chrono::steady_clock::now();
        processo.Sinalizar(SIGINT);
        EXPECT_EQ(processo.Aguardar(20s), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s);
        const Linhas linhas = LinhasDe(processo.Saida());
        ASSERT_GE(linhas.size(), 4u);
        EXPECT_EQ(linhas[2], "Finalizando tarefas...");
        EXPECT_EQ(linhas.back(), "Tarefas finalizadas.");
        EXPECT_EQ(std::count(linhas.begin(), linhas.end(), "Leitura finalizada."), 0);
        ConferirLog(LerArquivo(pasta / "tvxnetcfg.log"), processo.Saida());
    });
}

}  // namespace
}  // namespace tvx::teste
