// The network helper: what it accepts, what the front ends make of its
// answers, and a user without privilege who gets echoes, the ARP removal and
// probe and the program's own address through a capable copy of it, which
// never removes an address somebody else added; inside isolated namespaces.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "core/os/auxiliar_rede.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"
#include "support/log_lido.h"
#include "support/rede_campo.h"
#include "support/rede_isolada.h"

namespace tvx {
namespace {

using teste::RedeIsolada;
namespace fs = std::filesystem;

// '#' in modelo stands for one or more decimal digits.
bool Casa(const std::string& texto, const std::string& modelo) {
    size_t t = 0;
    for (char m : modelo) {
        const size_t inicio = t;
        while (m == '#' && t < texto.size() && std::isdigit(static_cast<unsigned char>(texto[t]))) {
            ++t;
        }
        if (m == '#' ? t == inicio : (t >= texto.size() || texto[t++] != m)) {
            return false;
        }
    }
    return t == texto.size();
}

TEST(AuxiliarRede, ArgumentosConferidosAntesDeQualquerCoisa) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        // Calls (shell words) with the exit status and output (stderr then
        // stdout) they give; '#' stands for digits. A refusal (2) shows its
        // message, then the usage of the operation.
        const std::vector<std::pair<std::string, std::vector<std::string>>> tabela = {
            {"2 falta a operação", {""}},
            {"2 operação desconhecida", {"ping 127.0.0.1", "ECO 127.0.0.1 32 1000"}},
            {"2 número errado de argumentos",
             {"eco 127.0.0.1 32", "eco 127.0.0.1 32 1000 ''", "apagar-arp", "sondar-arp tvxa"}},
            {"2 INTERFACE deve ser o nome de uma interface (1 a 15 caracteres, sem '/', ':' nem "
             "espaços)",
             {"sondar-arp tvxa/x 10.1.0.9", "sondar-arp 'tvx a' 10.1.0.9",
              "sondar-arp tvxaaaaaaaaaaaaa 10.1.0.9"}},
            {"2 INTERFACE não existe", {"sondar-arp tvxz 10.1.0.9"}},
            {"2 INTERFACE não pode ser a de loopback", {"adicionar-endereco lo 10.1.0.9/24"}},
            {"2 ENDEREÇO/PREFIXO deve ser um endereço de host privado (10.x.x.x, 172.16.x.x a "
             "172.31.x.x, 192.168.x.x) com prefixo de 16 a 30, como 192.168.0.100/24",
             {"remover-endereco tvxa 10.1.0.9", "remover-endereco tvxa 8.8.8.8/24",
              "remover-endereco tvxa 172.32.0.9/16", "remover-endereco tvxa 10.1.0.9/15",
              "remover-endereco tvxa 10.1.0.9/31", "remover-endereco tvxa 10.1.0.9/024",
              "remover-endereco tvxa 10.1.0.0/24", "remover-endereco tvxa 10.1.0.255/24"}},
            {"2 ENDEREÇO deve ser um IPv4 a.b.c.d (números de 0 a 255, sem zeros à esquerda)",
             {"eco 127.0.0.01 32 1000", "eco ' 127.0.0.1' 32 1000", "eco 127.1 32 1000",
              "apagar-arp 10.78.0.256", "sondar-arp tvxa 10.1.0.09"}},
            {"2 ENDEREÇO não pode ser 0.x.x.x, multicast, reservado nem de difusão",
             {"eco 0.0.0.0 32 1000", "eco 224.0.0.1 32 1000", "eco 255.255.255.255 32 1000",
              "apagar-arp 240.0.0.1"}},
            {"2 TAMANHO deve ser um número de 1 a 2048",
             {"eco 127.0.0.1 032 1000", "eco 127.0.0.1 +32 1000", "eco 127.0.0.1 0 1000",
              "eco 127.0.0.1 2049 1000", "eco 127.0.0.1 4294967328 1000"}},
            {"2 TEMPO_MS deve ser um número de 1 a 10000",
             {"eco 127.0.0.1 32 0", "eco 127.0.0.1 32 10001", "eco 127.0.0.1 32 '1000 '"}},
            {"0 0 127.0.0.1 0 # 2048\n", {"eco 127.0.0.1 2048 10000"}},
            {"0 11010 0.0.0.0 11010 # 1\n", {"eco 10.77.0.9 1 300"}},
            {"0 2\n", {"apagar-arp 10.78.0.5"}},  // no subnet holds it: ENOENT
        };
        for (const auto& [esperado, chamadas] : tabela) {
            const std::string recusa =
                "2 tvxnetcfg-rede: " + esperado.substr(2) + "\nuso: tvxnetcfg-rede ";
            for (const std::string& argumentos : chamadas) {
                std::string comando = "'" + os::CaminhoAuxiliarRede() + "' " + argumentos, saida;
                const std::string visto =
                    std::to_string(rede.Executar(comando + " 2>&1", &saida)) + " " + saida;
                EXPECT_TRUE(esperado[0] == '2' ? visto.starts_with(recusa) : Casa(visto, esperado))
                    << comando << "\n"
                    << visto;
            }
        }
    });
}

// A new folder of this process under the temporary one that everybody may enter.
fs::path Pasta(const std::string& nome) {
    const fs::path pasta = fs::temp_directory_path() / (nome + std::to_string(getpid()));
    fs::create_directories(pasta);
    fs::permissions(pasta, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    return pasta;
}

// A stand-in helper that runs comando; the program's checks of its answer.
TEST(AuxiliarRede, RespostaLidaComRigorNoTempoLimite) {
    const fs::path pasta = Pasta("tvx-auxiliar-");
    const struct {
        const char* comando;
        bool aceita;
    } tabela[] = {
        {"echo '0 127.0.0.1 0 7 32'", true},    {"echo '0 127.0.0.1 0 7 32'; exit 1", false},
        {"printf '0 127.0.0.1 0 7 32'", false}, {"printf '0 127.0.0.1 0 7 32\\n\\n'", false},
        {"echo '0 127.0.0.1 0 7 32 '", false},  {"echo '0 127.0.0.1  0 7 32'", false},
        {"echo '00 127.0.0.1 0 7 32'", false},  {"echo '0 127.0.0.1 0 7 2049'", false},
        {"echo '0 127.0.0.1 0 -7 32'", false},  {"echo '0 127.0.0.1 0 7'", false},
        {"exec /bin/sleep 30", false},
    };
    for (const auto& c : tabela) {
        const fs::path falso = pasta / "tvxnetcfg-rede";
        std::ofstream(falso) << "#!/bin/sh\n" << c.comando << "\n";
        fs::permissions(falso, fs::perms::owner_all);
        os::DefinirAuxiliarRede(falso);
        RespostaEco resposta;
        long erro = -1;
        const auto inicio = std::chrono::steady_clock::now();
        EXPECT_EQ(os::EcoPeloAuxiliar(TextoParaIp("127.0.0.1"), 32, 300, resposta, erro), c.aceita)
            << c.comando;
        EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(3));
        EXPECT_EQ(erro, c.aceita ? 0 : -1) << c.comando;
        EXPECT_EQ(resposta.tempoMs, c.aceita ? 7u : 0u);
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child left unreaped";
    }
    os::DefinirAuxiliarRede("");
    fs::remove_all(pasta);
}

// In a child process, as root or as nobody: the ARP removal of a dynamic
// (.5), a permanent (.6) and a NOARP (.7) entry; the probe of an address in
// use and of a free one; the own address added twice, somebody else's
// removed, ours removed twice (each code, -1 when the helper gave none); a
// series to loopback and one to a silent address. What it saw goes into the
// file visto, one line each.
std::string NoFilho(bool comoNobody, const std::string& auxiliar, const fs::path& visto) {
    const passwd* nobody = getpwnam("nobody");
    const pid_t pid = nobody != nullptr ? fork() : -1;
    if (pid == 0) {
        std::ofstream saida(visto);  // opened before the privilege is dropped
        if (comoNobody && (setgroups(0, nullptr) != 0 ||
                           setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0 ||
                           setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0)) {
            _exit(1);
        }
        os::DefinirAuxiliarRede(auxiliar);
        saida << RemoverArp("10.78.0.5") << RemoverArp("10.78.0.6") << RemoverArp("10.78.0.7")
              << "\n";
        int codigo = -1;
        auto anotar = [&](bool respondeu) { saida << (respondeu ? codigo : -1) << ' '; };
        anotar(os::SondarArpPeloAuxiliar("tvxa", TextoParaIp("192.168.0.101"), codigo));
        anotar(os::SondarArpPeloAuxiliar("tvxa", TextoParaIp("192.168.0.102"), codigo));
        for (const auto& [adicionar, endereco] : {std::pair{true, "192.168.0.102"},
                                                  {true, "192.168.0.102"},
                                                  {false, "192.168.0.50"},
                                                  {false, "192.168.0.102"},
                                                  {false, "192.168.0.102"}}) {
            anotar(os::EnderecoProprioPeloAuxiliar(adicionar, "tvxa", TextoParaIp(endereco), 24,
                                                   codigo));
        }
        cEquipamento equipamento;
        FilaProgresso fila;
        cThreadProgramar trabalhador(equipamento);
        trabalhador.janela = &fila;
        trabalhador.PingarSerie("127.0.0.1", 2, false);
        trabalhador.PingarSerie("10.77.0.9", 1, false);
        for (const std::string& t : fila.Textos()) {
            saida << "\n" << t;
        }
        saida.close();
        _exit(0);
    }
    // The child's echoes and helper calls are all bounded in time.
    int estado = -1;
    waitpid(pid, &estado, 0);
    EXPECT_EQ(estado, 0);
    return teste::LerArquivo(visto);
}

TEST(AuxiliarRede, SemPrivilegioPeloAuxiliarCapaz) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/24", "tvxb"));  // answers ARP on tvxa
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.50/24", "tvxa"));   // somebody else's
        ASSERT_EQ(teste::LerArquivo("/proc/sys/net/ipv4/ping_group_range"), "1\t0\n")
            << "nobody must not have datagram ICMP sockets here";
        const fs::path pasta = Pasta("tvx-capaz-");
        const std::string capaz = pasta / "tvxnetcfg-rede";
        fs::copy_file(os::CaminhoAuxiliarRede(), capaz, fs::copy_options::overwrite_existing);
        ASSERT_EQ(rede.Executar("setcap cap_net_raw,cap_net_admin+ep " + capaz), 0)
            << "needs setcap";

        const std::string eco = "\nPing recebido de 127.0.0.1 ,Status=0 ,Tempo:# ms ,Bytes:32";
        const std::string ecos = eco + eco + "\nPing falhou: 11010";
        const std::string semEco = "\nPing falhou: 1\nPing falhou: 1";
        const std::string nenhum = "-1 -1 -1 -1 -1 -1 -1 ";
        const struct {
            bool comoNobody;
            std::string auxiliar;
            std::string visto;
        } tabela[] = {
            // Root does the ARP removal and the echoes itself, the rest never.
            {false, "/nenhum/tvxnetcfg-rede", "100\n" + nenhum + ecos},
            // In use, free; added, already there; not ours; removed, gone.
            {true, capaz,
             "100\n" + std::to_string(EADDRINUSE) + " 0 0 " + std::to_string(EEXIST) + " " +
                 std::to_string(ENOENT) + " 0 " + std::to_string(ENOENT) + " " + ecos},
            {true, os::CaminhoAuxiliarRede(), "000\n1 1 1 1 2 2 2 " + semEco},  // no capabilities
            {true, "/nenhum/tvxnetcfg-rede", "000\n" + nenhum + semEco},
        };
        for (const auto& c : tabela) {
            ASSERT_EQ(
                rede.Executar(
                    "ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale && "
                    "ip neigh replace 10.78.0.6 lladdr 02:00:00:00:00:06 dev tvxa nud permanent && "
                    "ip neigh replace 10.78.0.7 lladdr 02:00:00:00:00:07 dev tvxa nud noarp"),
                0);
            const std::string visto = NoFilho(c.comoNobody, c.auxiliar, pasta / "visto");
            EXPECT_TRUE(Casa(visto, c.visto)) << c.auxiliar << ":\n" << visto;
            EXPECT_EQ(teste::EnderecosIpv4(rede, "tvxa"), "10.78.0.1/24 192.168.0.50/24 ");
            std::string vizinhos;
            ASSERT_EQ(rede.Executar("ip -4 neigh show nud all dev tvxa", &vizinhos), 0);
            EXPECT_EQ(vizinhos.find("10.78.0.5 ") == std::string::npos, c.visto.starts_with("1"))
                << vizinhos;
            EXPECT_TRUE(vizinhos.find("10.78.0.6 lladdr 02:00:00:00:00:06 PERMANENT") !=
                            std::string::npos &&
                        vizinhos.find("10.78.0.7 lladdr 02:00:00:00:00:07 NOARP") !=
                            std::string::npos)
                << vizinhos;
        }
        fs::remove_all(pasta);
    });
}

}  // namespace
}  // namespace tvx
