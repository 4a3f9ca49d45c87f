// What tvxnetcfg-cli tells the technician around a run: the refusal of an
// address that would cut the device off, the exit codes and the last line of
// a stopped run, the listings, the frame trace and why a serial port did not
// open. Every run is inside an isolated network namespace.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "processo.h"
#include "support/pty_teste.h"
#include "support/rede_isolada.h"
#include "transport/os/porta_serial_linux.h"

#ifdef TVX_COM_SIMULADOR
#include "sim/simulador.h"
#endif

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

std::string UltimaLinha(const std::string& texto) {
    const size_t fim = texto.find_last_not_of('\n');
    const size_t inicio = texto.rfind('\n', fim);
    return texto.substr(inicio == std::string::npos ? 0 : inicio + 1, fim - inicio);
}

TEST(CliVerdade, Listagens) {
    PastaTemporaria pasta;
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

#ifdef TVX_COM_SIMULADOR

// The argument list of a programming run of model 3 at 127.0.0.2.
std::vector<std::string> Programar(const std::string& ip, std::vector<std::string> mais = {}) {
    std::vector<std::string> a{"--model", "3", "--medium", "1",         "--address", "127.0.0.2",
                               "--ip",    ip,  "--mask",   "255.0.0.0", "--gateway", "0.0.0.0"};
    a.insert(a.end(), mais.begin(), mais.end());
    a.push_back("program");
    return a;
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
    });
}

// SIGINT at a point of the run; the exit code, the last line of the error
// output, and the time the stop took.
TEST(CliVerdade, InterrupcaoDizOEstadoDoEquipamento) {
    struct Caso {
        std::string aguardar;  // the line of the output to send SIGINT after
        sim::Falha falha;
        int codigo;
        std::string estado;
    };
    const std::vector<Caso> casos{
        {"8s...\n", sim::Falha::Nenhuma, 5,
         "tvxnetcfg-cli: interrompido: equipamento programado com o IP 10.0.0.50 e reiniciando; "
         "em uns 10 s ele responde no IP novo (use test) (código 5)"},
        // The device takes the command and never answers: 30 s of wait, cut.
        {"Enviando programação de IP...\n", sim::Falha::Calar, 6,
         "tvxnetcfg-cli: interrompido: estado do equipamento desconhecido (parado com uma "
         "programação a caminho); leia-o com read antes de repetir (código 6)"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        for (const Caso& c : casos) {
            sim::Simulador equipamento(3);
            equipamento.DefinirFalha(c.falha, {'L', 22});
            ASSERT_TRUE(equipamento.IniciarTcp("127.0.0.2"));
            PastaTemporaria pasta;
            Processo processo(TVX_CLI, Programar("10.0.0.50"), pasta.Caminho());
            ASSERT_TRUE(processo.AguardarSaida(c.aguardar, 20s)) << processo.Saida();
            std::this_thread::sleep_for(300ms);  // in the countdown, or the reply's wait
            const auto inicio = std::chrono::steady_clock::now();
            processo.Sinalizar(SIGINT);
            EXPECT_EQ(processo.Aguardar(10s), c.codigo);
            EXPECT_LT(std::chrono::steady_clock::now() - inicio, 2s);
            EXPECT_EQ(UltimaLinha(processo.Erros()), c.estado);
            const std::string saida = processo.Saida();
            EXPECT_NE(saida.find("Finalizando tarefas...\n"), std::string::npos);
            EXPECT_EQ(UltimaLinha(saida), "Tarefas finalizadas.");
            EXPECT_EQ(saida.find("Não respondeu"), std::string::npos);
        }
    });
}

// The hex columns of a trace, as bytes.
std::vector<std::vector<uint8_t>> QuadrosDoRastro(const std::string& rastro,
                                                  std::vector<std::string>& cabecalhos) {
    std::vector<std::vector<uint8_t>> quadros;
    std::istringstream s(rastro);
    for (std::string linha; std::getline(s, linha);) {
        if (linha.rfind("  ", 0) != 0) {
            if (linha[0] != '#') {
                cabecalhos.push_back(linha);
                quadros.emplace_back();
            }
            continue;
        }
        std::istringstream hex(linha.substr(8, 48));
        for (std::string b; hex >> b;) {
            quadros.back().push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
        }
    }
    return quadros;
}

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
        EXPECT_EQ(com.saida, sem.saida);  // nothing else changes

        std::vector<std::string> cabecalhos;
        const auto quadros = QuadrosDoRastro(LerArquivo(pasta / "quadros.txt"), cabecalhos);
        const std::vector<sim::Troca> trocas = equipamento.Trocas();
        ASSERT_EQ(trocas.size(), 4u);  // two reads, one request and one reply each
        ASSERT_EQ(quadros.size(), 2u);
        EXPECT_EQ(quadros[0], trocas[2].bytes);
        EXPECT_EQ(quadros[1], trocas[3].bytes);
        const std::string inicio =
            R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} TCP 127\.0\.0\.2:5003 )";
        EXPECT_TRUE(std::regex_match(cabecalhos[0], std::regex(inicio + ">> 21 bytes")));
        EXPECT_TRUE(std::regex_match(
            cabecalhos[1],
            std::regex(inicio + "<< " + std::to_string(quadros[1].size()) + " bytes")));
        // The reply's text beside its hex: the model's tag.
        EXPECT_NE(LerArquivo(pasta / "quadros.txt").find("TVX5150S..I|\n"), std::string::npos)
            << LerArquivo(pasta / "quadros.txt");
    });
}

#endif  // TVX_COM_SIMULADOR

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

}  // namespace
}  // namespace tvx::teste
