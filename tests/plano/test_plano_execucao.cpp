// What a plan engine decides before anything is sent: which device it offers
// after a restart, which ones need the technician's explicit say, and what
// its state file and report keep; nothing here reaches a device.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/texto.h"
#include "plano/execucao_plano.h"
#include "plano/relatorio.h"

namespace tvx::plano {
namespace {

struct Mudo : cObservadorPlano {
    void Linha(size_t, const std::string&) override {}
    void Aviso(const std::string& texto) override { ADD_FAILURE() << texto; }
};

Plano Ler(const std::string& csv) {
    Plano plano;
    std::vector<std::string> erros;
    EXPECT_TRUE(VerificarPlano(csv, plano, erros)) << erros.front();
    return plano;
}

std::string LerArquivo(const std::string& caminho) {
    std::ostringstream s;
    s << std::ifstream(caminho, std::ios::binary).rdbuf();
    return s.str();
}

TEST(PlanoExecucao, RetomadaSegueOConteudoDeCadaLinha) {
    std::string pasta = (std::filesystem::temp_directory_path() / "tvxplano.XXXXXX").string();
    ASSERT_NE(mkdtemp(pasta.data()), nullptr);
    const std::string cabecalho = "modelo;ip;mascara\n";
    const std::string a = "3;10.0.0.1;255.0.0.0\n", b = "3;10.0.0.2;255.0.0.0\n",
                      c = "3;10.0.0.3;255.0.0.0\n";
    // Before: A done (with what its read showed), B killed while it ran, C failed.
    const Plano antes = Ler(cabecalho + a + b + c);
    EstadoPlano estado;
    estado.resultados.resize(3);
    estado.resultados[0] = {
        EstadoLinha::Feito,   "05/12/2026", "14:03:09", 12,
        "10.0.0.1",           "255.0.0.0",  "0.0.0.0",  "TVX5150S\r\nX: \"a;b\"",
        "Leitura finalizada."};
    estado.resultados[1].estado = EstadoLinha::EmExecucao;
    estado.resultados[1].data = "05/12/2026";
    estado.resultados[1].hora = "14:04:00";
    estado.resultados[2].estado = EstadoLinha::Falhou;
    std::ofstream(pasta + "/plano.estado.csv", std::ios::binary) << TextoEstadoPlano(antes, estado);

    // Since then a row came first and C got another address.
    std::ofstream(pasta + "/plano.csv")
        << cabecalho + "3;10.0.0.9;255.0.0.0\n" + a + b + "3;10.0.0.4;255.0.0.0\n";
    Plano depois;
    std::vector<std::string> erros;
    ASSERT_TRUE(LerPlano(pasta + "/plano.csv", depois, erros));
    Mudo observador;
    cExecucaoPlano execucao(depois, "", observador);
    execucao.RepetirTambem(1);
    std::string erro;
    ASSERT_TRUE(execucao.Abrir(erro)) << erro;

    const auto& r = execucao.Estado().resultados;
    EXPECT_EQ(r[0].estado, EstadoLinha::Pendente);
    EXPECT_EQ(r[1].estado, EstadoLinha::Feito);
    EXPECT_EQ(r[1].leitura, estado.resultados[0].leitura);
    EXPECT_EQ(r[1].data + " " + r[1].hora, "05/12/2026 14:03:09");
    EXPECT_EQ(r[2].estado, EstadoLinha::Interrompido);
    EXPECT_EQ(r[3].estado, EstadoLinha::Pendente);
    // C's old state stays in the file, after the plan's rows.
    const std::string arquivo = Cp1252ParaUtf8(LerArquivo(pasta + "/plano.estado.csv"));
    EXPECT_NE(arquivo.find("\r\n3;4;TVX5150S;10.0.0.3;falhou;"), std::string::npos) << arquivo;

    // Offered in turn: the new row; A, because --repetir named it; B only on
    // an explicit Repetir; C. Skipping leaves what was done or interrupted as it was.
    struct Oferta {
        size_t indice;
        bool exigeRepetir;
        bool operator==(const Oferta&) const = default;
    };
    std::vector<Oferta> ofertas;
    while (execucao.FaseAtual() == Fase::Oferta) {
        ofertas.push_back({*execucao.Atual(), execucao.ExigeRepetir()});
        if (execucao.ExigeRepetir()) {
            EXPECT_FALSE(execucao.Continuar());
            EXPECT_EQ(
                execucao.Pergunta(),
                "O equipamento 3 de 4 (TVX5150S, novo IP 10.0.0.2) foi interrompido em "
                "05/12/2026 14:04:00 e pode já estar programado — r repete, p pula, q encerra");
        }
        execucao.Pular();
    }
    EXPECT_EQ(ofertas, (std::vector<Oferta>{{0, false}, {1, false}, {2, true}, {3, false}}));
    EXPECT_EQ(execucao.FaseAtual(), Fase::Fim);
    EXPECT_EQ(execucao.Pergunta(),
              "Equipamentos: 4 — feitos: 1, com falha: 0, pulados: 2, interrompidos: 1, "
              "pendentes: 0");
    EXPECT_TRUE(std::filesystem::exists(pasta + "/plano.relatorio/relatorio.html"));
    std::filesystem::remove_all(pasta);
}

TEST(PlanoExecucao, RelatorioNaoDeixaPassarMarcacaoNemFormula) {
    Plano plano = Ler("modelo;meio;porta;ip;mascara\n3;2;\"<b>&\"\"x'\";10.0.0.1;255.0.0.0\n");
    EstadoPlano estado;
    estado.resultados.resize(1);
    ResultadoDispositivo& r = estado.resultados[0];
    r = {EstadoLinha::Falhou,
         "05/12/2026",
         "14:03:09",
         3,
         "",
         "",
         "",
         "<script>x</script>\r\n\r\nRTU: 1\r\n",
         "=HYPERLINK(\"a\")"};
    EXPECT_EQ(LinhaRelatorioHtml(plano, estado, 0),
              "<tr class=\"falhou\"><td>1</td><td>2</td><td>TVX5150S</td><td>Serial "
              "&lt;b&gt;&amp;&quot;x&#39;, 38400, RTU 1</td><td>10.0.0.1</td><td>255.0.0.0</td>"
              "<td></td><td></td><td></td><td></td><td>&lt;script&gt;x&lt;/script&gt;<br>RTU: 1"
              "</td><td>falhou</td><td>=HYPERLINK(&quot;a&quot;)</td><td>05/12/2026</td>"
              "<td>14:03:09</td><td>3</td><td><a href=\"equipamento-01.log\">equipamento-01.log"
              "</a></td></tr>");
    const std::string csv = TextoRelatorioCsv(plano, estado);
    EXPECT_EQ(
        csv.substr(csv.find("\r\n") + 2),
        "1;2;TVX5150S;\"Serial <b>&\"\"x', 38400, RTU 1\";10.0.0.1;255.0.0.0;;;;;<script>x"
        "</script> | "
        "RTU: 1;falhou;\"'=HYPERLINK(\"\"a\"\")\";05/12/2026;14:03:09;3;equipamento-01.log\r\n");
}

}  // namespace
}  // namespace tvx::plano
