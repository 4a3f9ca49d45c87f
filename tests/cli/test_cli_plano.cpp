// tvxnetcfg-cli plan against three simulated meters, inside an isolated
// network namespace the test creates: a device that stays silent does not
// stop the plan, each device's lines are its own log's, the report holds what
// each device answered; and a program killed in the middle of a device leaves
// it to be repeated only when asked, and never contacts a done one again.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "core/texto.h"
#include "processo.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

// Three TVX8100 (model 15: programmed without a restart, so each device
// keeps the factory address it shows until it is switched off and on) on
// three loopback addresses; the new addresses are routed nowhere.
const char* const kPlano =
    "modelo;meio;endereco;ip;mascara;gateway\r\n"
    "15;1;127.0.0.2;10.20.0.11;255.255.255.0;10.20.0.1\r\n"
    "TVX8100;1;127.0.0.3;10.20.0.12;255.255.255.0;10.20.0.1\r\n"
    "15;1;127.0.0.4;10.20.0.13;255.255.255.0;10.20.0.1\r\n";

struct Tres {
    sim::Simulador equipamento[3]{sim::Simulador(15), sim::Simulador(15), sim::Simulador(15)};
    bool Iniciar() {
        return equipamento[0].IniciarTcp("127.0.0.2") && equipamento[1].IniciarTcp("127.0.0.3") &&
               equipamento[2].IniciarTcp("127.0.0.4");
    }
};

std::string SemTempos(const std::string& texto) {
    static const std::regex tempo("Tempo:[0-9]+ ms");
    static const std::regex quando(
        ";[0-9]{2}/[0-9]{2}/[0-9]{4};[0-9]{2}:[0-9]{2}:[0-9]{2};[0-9]+;");
    return std::regex_replace(std::regex_replace(texto, tempo, "Tempo:N ms"), quando, ";D;H;S;");
}

// The state of each device in the state file, in the plan's order.
std::vector<std::string> Estados(const std::string& pasta) {
    static const std::regex linha("(^|\n)[0-9]+;[0-9]+;[^;]*;[^;]*;([^;]*);");
    const std::string texto = Cp1252ParaUtf8(LerArquivo(pasta + "/plano.estado.csv"));
    std::vector<std::string> estados;
    for (auto i = std::sregex_iterator(texto.begin(), texto.end(), linha);
         i != std::sregex_iterator(); ++i) {
        estados.push_back((*i)[2]);
    }
    return estados;
}

std::string Log(const std::string& pasta, int n) {
    const LogLido log =
        LerLog(LerArquivo(pasta + "/plano.relatorio/equipamento-0" + std::to_string(n) + ".log"));
    EXPECT_TRUE(log.crlf);
    return SemTempos(log.texto);
}

TEST(CliPlano, UmEquipamentoMudoNaoParaOPlano) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        Tres sims;
        ASSERT_TRUE(sims.Iniciar());
        sims.equipamento[1].DefinirFalha(sim::Falha::Calar, {'L', 22});
        PastaTemporaria pasta;
        GravarArquivo(pasta / "plano.csv", kPlano);
        const ResultadoCli r = ExecutarCli({"plan", "plano.csv", "--yes"}, pasta.Caminho(), 120s);
        EXPECT_EQ(r.codigo, 1);
        EXPECT_EQ(r.erros,
                  "tvxnetcfg-cli: plano plano.csv: Equipamentos: 3 — feitos: 0, com falha: 0, "
                  "pulados: 0, interrompidos: 0, pendentes: 3\n"
                  "tvxnetcfg-cli: estado em plano.estado.csv; relatório e logs em "
                  "plano.relatorio\n"
                  "tvxnetcfg-cli: equipamento 1: feito\n"
                  "tvxnetcfg-cli: equipamento 2: falhou (Falha na programação.)\n"
                  "tvxnetcfg-cli: equipamento 3: feito\n"
                  "tvxnetcfg-cli: Equipamentos: 3 — feitos: 2, com falha: 1, pulados: 0, "
                  "interrompidos: 0, pendentes: 0\n"
                  "tvxnetcfg-cli: relatório: plano.relatorio/relatorio.html\n");
        // Each device's lines, in its own log and on the terminal one after another.
        EXPECT_EQ(SemTempos(r.saida),
                  Log(pasta.Caminho(), 1) + Log(pasta.Caminho(), 2) + Log(pasta.Caminho(), 3));
        EXPECT_EQ(Log(pasta.Caminho(), 2),
                  "TVXNetCfg - v19.1.3\nProgramação iniciada...\nVerificando se o IP de "
                  "programação está presente na rede...\nPing recebido de 127.0.0.3 ,Status=0 "
                  ",Tempo:N ms ,Bytes:32\nPing falhou: 11002\nConectando no equipamento...\n"
                  "Enviando programação de IP...\nFalha na programação.\n");

        EXPECT_EQ(
            SemTempos(Cp1252ParaUtf8(LerArquivo(pasta / "plano.relatorio/relatorio.csv"))),
            "Equipamento;Linha do plano;Modelo;Conexão;IP do plano;Máscara do plano;Gateway do "
            "plano;IP lido;Máscara lida;Gateway lido;Leitura;Resultado;Última linha;Data;Hora;"
            "Duração (s);Log\r\n"
            "1;2;TVX8100;TCP 127.0.0.2:5003;10.20.0.11;255.255.255.0;10.20.0.1;192.168.0.101;"
            "255.255.255.0;0.0.0.0;TVX8100 | IP: 192.168.0.101 | Mask: 255.255.255.0 | Gateway: "
            "0.0.0.0 | MAC: 02:B4:6D:00:0F:65 | RTU: 1;feito;Leitura finalizada.;D;H;S;"
            "equipamento-01.log\r\n"
            "2;3;TVX8100;TCP 127.0.0.3:5003;10.20.0.12;255.255.255.0;10.20.0.1;;;;;falhou;"
            "Falha na programação.;D;H;S;equipamento-02.log\r\n"
            "3;4;TVX8100;TCP 127.0.0.4:5003;10.20.0.13;255.255.255.0;10.20.0.1;192.168.0.101;"
            "255.255.255.0;0.0.0.0;TVX8100 | IP: 192.168.0.101 | Mask: 255.255.255.0 | Gateway: "
            "0.0.0.0 | MAC: 02:B4:6D:00:0F:65 | RTU: 1;feito;Leitura finalizada.;D;H;S;"
            "equipamento-03.log\r\n");
        const std::string html = LerArquivo(pasta / "plano.relatorio/relatorio.html");
        // The read-back that is not what the plan asked for stands out.
        const std::string lidos =
            "<td class=\"difere\">192.168.0.101</td><td>255.255.255.0</td><td "
            "class=\"difere\">0.0.0.0</td><td>TVX8100<br>IP: 192.168.0.101<br>Mask: "
            "255.255.255.0<br>Gateway: 0.0.0.0<br>MAC: 02:B4:6D:00:0F:65<br>RTU: 1</td><td>feito"
            "</td><td>Leitura finalizada.</td>";
        const std::string linhas[] = {
            "<tr class=\"feito\"><td>1</td><td>2</td><td>TVX8100</td><td>TCP 127.0.0.2:5003</td>"
            "<td>10.20.0.11</td><td>255.255.255.0</td><td>10.20.0.1</td>" +
                lidos +
                "<td>D</td><td>H</td><td>S</td><td><a "
                "href=\"equipamento-01.log\">equipamento-01.log</a></td></tr>",
            "<tr class=\"falhou\"><td>2</td><td>3</td><td>TVX8100</td><td>TCP "
            "127.0.0.3:5003</td><td>10.20.0.12</td><td>255.255.255.0</td><td>10.20.0.1</td><td>"
            "</td><td></td><td></td><td></td><td>falhou</td><td>Falha na programação.</td><td>D"
            "</td><td>H</td><td>S</td><td><a href=\"equipamento-02.log\">equipamento-02.log</a>"
            "</td></tr>",
            "<tr class=\"feito\"><td>3</td><td>4</td><td>TVX8100</td><td>TCP 127.0.0.4:5003</td>"
            "<td>10.20.0.13</td><td>255.255.255.0</td><td>10.20.0.1</td>" +
                lidos +
                "<td>D</td><td>H</td><td>S</td><td><a "
                "href=\"equipamento-03.log\">equipamento-03.log</a></td></tr>"};
        const std::string semData = std::regex_replace(
            html, std::regex("<td>[0-9/]{10}</td><td>[0-9:]{8}</td><td>[0-9]+</td>"),
            "<td>D</td><td>H</td><td>S</td>");
        for (const std::string& linha : linhas) {
            EXPECT_NE(semData.find("\n" + linha + "\n"), std::string::npos) << linha;
        }
    });
}

TEST(CliPlano, MortoNoMeioRetomaSemRepetirOQueFoiFeito) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        Tres sims;
        ASSERT_TRUE(sims.Iniciar());
        sim::Simulador& segundo = sims.equipamento[1];
        segundo.DefinirFalha(sim::Falha::Calar, {'L', 22});
        PastaTemporaria pasta;
        GravarArquivo(pasta / "plano.csv", kPlano);
        {
            Processo processo(TVX_CLI, {"plan", "plano.csv", "--yes"}, pasta.Caminho());
            // Killed while the second device holds its programming unanswered.
            ASSERT_TRUE(segundo.AguardarPedidos(1, 30s));
            ASSERT_TRUE(processo.AguardarSaida("127.0.0.3", 5s));
            processo.Sinalizar(SIGKILL);
            EXPECT_EQ(processo.Aguardar(10s), 128 + SIGKILL);
        }
        EXPECT_EQ(Estados(pasta.Caminho()),
                  (std::vector<std::string>{"feito", "em execução", "pendente"}));
        const size_t primeiro = sims.equipamento[0].Pedidos();
        const size_t antes = segundo.Pedidos();

        // --yes alone does not take it upon itself to program it again.
        ResultadoCli r = ExecutarCli({"plan", "plano.csv", "--yes"}, pasta.Caminho());
        EXPECT_EQ(r.codigo, 1);
        EXPECT_NE(r.erros.find("tvxnetcfg-cli: equipamento 2 interrompido numa execução "
                               "anterior: fica como está (use --repetir 2 para repeti-lo)\n"),
                  std::string::npos)
            << r.erros;
        EXPECT_EQ(Estados(pasta.Caminho()),
                  (std::vector<std::string>{"feito", "interrompido", "feito"}));
        EXPECT_EQ(segundo.Pedidos(), antes);
        const size_t terceiro = sims.equipamento[2].Pedidos();

        segundo.DefinirFalha(sim::Falha::Nenhuma);
        r = ExecutarCli({"plan", "plano.csv", "--yes", "--repetir", "2"}, pasta.Caminho());
        EXPECT_EQ(r.codigo, 0) << r.erros;
        EXPECT_EQ(Estados(pasta.Caminho()), (std::vector<std::string>{"feito", "feito", "feito"}));
        EXPECT_GT(segundo.Pedidos(), antes);
        EXPECT_EQ(sims.equipamento[0].Pedidos(), primeiro);
        EXPECT_EQ(sims.equipamento[2].Pedidos(), terceiro);
    });
}

}  // namespace
}  // namespace tvx::teste
