// tvxnetcfg-cli before a run over TCP: the diagnosis on the error output and
// the temporary address of --preparar-rede, between a "computer" and a
// "field" isolated network joined by a veth pair (tvx0 / campo0), with the
// simulator at 192.168.0.101 in the field.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>

#include "processo.h"
#include "support/rede_campo.h"
#include "support/rede_isolada.h"

#include "sim/simulador.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

const std::string kForaDaRede =
    "tvxnetcfg-cli: 192.168.0.101 não está em nenhuma rede deste computador (não há rota para "
    "ele). A interface tvx0 está com link, mas não tem endereço na rede 192.168.0.0/24 do "
    "equipamento.\n";

std::string Adicionado(const std::string& e) {
    return "tvxnetcfg-cli: Endereço temporário " + e +
           " adicionado à interface tvx0 até o fim desta execução.\n";
}

std::string Removido(const std::string& e) {
    return "tvxnetcfg-cli: Endereço temporário " + e + " removido da interface tvx0.\n";
}

// The computer's side of the cable; the field with the device at
// 192.168.0.101, or with nothing that answers (semEquipamento); a working
// folder anybody may write in; a runtime folder for the program's records.
struct Bancada {
    Bancada(RedeIsolada& r, bool semEquipamento = false) : rede(r), campo(r) {
        setenv("XDG_RUNTIME_DIR", runtime.Caminho().c_str(), 1);
        std::filesystem::permissions(pasta.Caminho(), std::filesystem::perms::all);
        if (campo.Ok() && !semEquipamento) {
            EXPECT_EQ(campo.Comando("ip addr add 192.168.0.101/24 dev campo0"), 0);
            campo.Executar([&] {
                equipamento = std::make_unique<sim::Simulador>(3);
                EXPECT_TRUE(equipamento->IniciarTcp("192.168.0.101"));
            });
        }
    }
    ~Bancada() { unsetenv("XDG_RUNTIME_DIR"); }
    std::string EnderecosTvx0() { return EnderecosIpv4(rede, "tvx0"); }
    bool SemRegistros() const {
        std::error_code ec;
        return std::filesystem::is_empty(runtime / "tvxnetcfg", ec) || ec;
    }

    RedeIsolada& rede;
    RedeCampo campo;
    PastaTemporaria pasta;
    PastaTemporaria runtime;
    std::unique_ptr<sim::Simulador> equipamento;
};

// The error output without the summary of what the run will do.
std::string SemResumo(const std::string& erros) {
    static const std::regex resumo("tvxnetcfg-cli: (program|read|test)\n(  [^\n]*\n)*");
    return std::regex_replace(erros, resumo, "");
}

TEST(CliPrepararRede, DiagnosticoEEnderecoTemporario) {
    const std::string semPermissao =
        "tvxnetcfg-cli: Este programa não tem permissão para alterar a rede (o auxiliar "
        "tvxnetcfg-rede não está instalado com as suas capacidades). Para adicionar o endereço, "
        "digite num terminal:\n  sudo ip addr add 192.168.0.100/24 dev tvx0\ne, ao terminar, para "
        "removê-lo:\n  sudo ip addr del 192.168.0.100/24 dev tvx0\n(Não foi possível conferir se "
        "192.168.0.100 está livre: se outro equipamento responder nele, use outro final.)\n";
    const std::string programar =
        "--ip 192.168.0.150 --mask 255.255.255.0 --gateway 192.168.0.1 program";
    const struct {
        const char* nome;
        const char* noCampo;  // shell in the field, then on the computer, before the run
        const char* noComputador;
        bool comoNobody;
        std::string argumentos;
        int codigo;
        std::string erros;
    } casos[] = {
        {"without the option", "", "", false, "read", 1,
         kForaDaRede + "tvxnetcfg-cli: Use --preparar-rede para adicionar à interface tvx0, "
                       "durante esta execução, um endereço livre de 192.168.0.100 em diante.\n"},
        {"prepared", "", "", false, "--preparar-rede " + programar, 0,
         kForaDaRede + Adicionado("192.168.0.100/24") + Removido("192.168.0.100/24")},
        {"by hand", "", "ip addr add 192.168.0.100/24 dev tvx0", false, programar, 0, ""},
        {"192.168.0.100 answers in the field", "ip addr add 192.168.0.100/24 dev campo0", "", false,
         "--preparar-rede read", 0,
         kForaDaRede + Adicionado("192.168.0.102/24") + Removido("192.168.0.102/24")},
        {"through a gateway", "",
         "ip addr add 10.9.0.2/24 dev tvx0 && ip route add default via 10.9.0.1", false,
         "--preparar-rede read", 0,
         "tvxnetcfg-cli: 192.168.0.101 não está em nenhuma rede deste computador (iria pelo "
         "gateway 10.9.0.1, interface tvx0). A interface tvx0 está com link, mas não tem endereço "
         "na rede 192.168.0.0/24 do equipamento.\n" +
             Adicionado("192.168.0.100/24") + Removido("192.168.0.100/24")},
        {"the computer's own address", "", "ip addr add 192.168.0.101/24 dev tvx0", false,
         "--preparar-rede read", 1,
         "tvxnetcfg-cli: 192.168.0.101 é um endereço deste próprio computador (interface tvx0), "
         "não o do equipamento.\n"},
        {"peer down", "ip link set campo0 down", "", false, "--preparar-rede read", 1,
         "tvxnetcfg-cli: Nenhuma interface de rede com fio está com link (tvx0 sem link): "
         "verifique o cabo.\n"},
        {"nobody, helper without capabilities", "", "", true, "--preparar-rede read", 1,
         kForaDaRede + semPermissao},
    };
    std::map<std::string, std::string> saidas;
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        for (const auto& c : casos) {
            SCOPED_TRACE(c.nome);
            Bancada b(rede);
            ASSERT_TRUE(b.campo.Ok());
            ASSERT_EQ(b.campo.Comando(c.noCampo), 0);
            ASSERT_EQ(rede.Executar(c.noComputador), 0);
            const std::string antes = b.EnderecosTvx0();
            std::string erros;
            EXPECT_EQ(
                rede.Executar("cd '" + b.pasta.Caminho() + "' && " +
                                  (c.comoNobody ? "runuser -u nobody -- " : "") +
                                  TVX_CLI " --model 3 --medium 0 " + c.argumentos + " 2>&1 >saida",
                              &erros),
                c.codigo);
            EXPECT_EQ(SemResumo(erros), c.erros);
            EXPECT_EQ(b.EnderecosTvx0(), antes);
            EXPECT_TRUE(b.SemRegistros());
            const std::string saida = LerArquivo(b.pasta / "saida");
            EXPECT_EQ(LerLog(LerArquivo(b.pasta / "tvxnetcfg.log")).texto, saida);
            saidas[c.nome] = std::regex_replace(saida, std::regex("Tempo:[0-9]+ ms"), "Tempo:N");
        }
    });
    // What the technician sees of a whole programming run, and so its log,
    // does not depend on who gave the computer its address there.
    EXPECT_TRUE(saidas["by hand"].ends_with("\nLeitura finalizada.\n")) << saidas["by hand"];
    EXPECT_EQ(saidas["prepared"], saidas["by hand"]);
}

// Stopped by a signal (SIGINT and SIGHUP share the handler of SIGTERM) the
// run removes its address; killed outright it leaves its record, and the next
// start removes exactly that address.
TEST(CliPrepararRede, SinaisEMorte) {
    const std::string sobra =
        "tvxnetcfg-cli: Endereço temporário 192.168.0.100/24 removido da interface tvx0: uma "
        "execução interrompida o deixou.\n";
    const std::string presa =
        "tvxnetcfg-cli: O endereço temporário 192.168.0.100/24 ficou na interface tvx0: removê-lo "
        "apagaria também os endereços da mesma rede adicionados depois dele.\n";
    const struct {
        int sinal;
        const char* promover;  // promote_secondaries of tvx0
        std::string fimDosErros;
        std::string restam;  // on tvx0 after the next start
    } casos[] = {
        {SIGTERM, "1", Removido("192.168.0.100/24"), ""},
        {SIGKILL, "1", sobra, "192.168.0.50/24 "},
        {SIGKILL, "0", presa, "192.168.0.100/24 192.168.0.50/24 "},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        for (const auto& c : casos) {
            SCOPED_TRACE(strsignal(c.sinal) + std::string(" promote_secondaries=") + c.promover);
            // Nothing answers in the field: each echo of the run waits.
            Bancada b(rede, true);
            ASSERT_TRUE(b.campo.Ok());
            ASSERT_EQ(
                rede.Executar(std::string("sysctl -qw net.ipv4.conf.tvx0.promote_secondaries=") +
                              c.promover),
                0);
            Processo processo(TVX_CLI, {"--model", "3", "--medium", "0", "--preparar-rede", "read"},
                              b.pasta.Caminho());
            ASSERT_TRUE(processo.AguardarSaida("Leitura iniciada...\n", 10s)) << processo.Erros();
            processo.Sinalizar(c.sinal);
            processo.Aguardar(20s);
            std::string erros = processo.Erros();
            if (c.sinal == SIGKILL) {
                EXPECT_EQ(b.EnderecosTvx0(), "192.168.0.100/24 ");
                ASSERT_EQ(rede.Executar("ip addr add 192.168.0.50/24 dev tvx0"), 0);
                erros = ExecutarCli({"--model", "0", "read"}, b.pasta.Caminho()).erros;
                EXPECT_EQ(erros, c.fimDosErros +
                                     "tvxnetcfg-cli: Selecione um equipamento (--model 1 a 34; "
                                     "--list-models mostra o catálogo)\n");
            } else {
                EXPECT_TRUE(erros.ends_with(c.fimDosErros +
                                            "tvxnetcfg-cli: interrompido: equipamento não "
                                            "programado (nada que o altere foi enviado) (código "
                                            "4)\n"))
                    << erros;
            }
            EXPECT_EQ(b.EnderecosTvx0(), c.restam);
            // The record stays exactly as long as the address it names.
            EXPECT_EQ(b.SemRegistros(), c.restam.find("192.168.0.100/") == std::string::npos);
        }
    });
}

}  // namespace
}  // namespace tvx::teste
