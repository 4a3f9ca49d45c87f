// The network helper: what it accepts, what the front ends make of its
// answers, and a user without privilege who gets echoes and the ARP removal
// through a capable copy of it, inside isolated network namespaces.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Everything a child writes to fd until it closes it (bounded by 20 s).
std::string LerAteFechar(int fd) {
    std::string lido;
    char bloco[4096];
    pollfd p{fd, POLLIN, 0};
    ssize_t n = 1;
    while (n > 0 && poll(&p, 1, 20000) > 0 && (n = read(fd, bloco, sizeof bloco)) > 0) {
        lido.append(bloco, static_cast<size_t>(n));
    }
    close(fd);
    return lido;
}

struct Chamada {
    std::vector<std::string> argumentos;
    int estado;
    std::string saida;  // stdout, '#' for digits
    std::string erro;   // stderr
};

// Exit status (or -1), then stdout and stderr, of programa with an empty environment.
int Rodar(const std::string& programa, const std::vector<std::string>& args, std::string& saida,
          std::string& erro) {
    std::vector<char*> argv{const_cast<char*>(programa.c_str())};
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int o[2], e[2];
    if (pipe2(o, O_CLOEXEC) != 0 || pipe2(e, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_adddup2(&acoes, o[1], 1);
    posix_spawn_file_actions_adddup2(&acoes, e[1], 2);
    char* ambiente[] = {nullptr};
    pid_t pid = -1;
    const int r = posix_spawn(&pid, programa.c_str(), &acoes, nullptr, argv.data(), ambiente);
    posix_spawn_file_actions_destroy(&acoes);
    close(o[1]);
    close(e[1]);
    saida = LerAteFechar(o[0]);
    erro = LerAteFechar(e[0]);
    int estado = 0;
    return r == 0 && waitpid(pid, &estado, 0) == pid && WIFEXITED(estado) ? WEXITSTATUS(estado)
                                                                          : -1;
}

const std::string kUsoEco = "uso: tvxnetcfg-rede eco ENDEREÇO TAMANHO TEMPO_MS\n";
const std::string kUsoArp = "uso: tvxnetcfg-rede apagar-arp ENDEREÇO\n";
const std::string kIp =
    "tvxnetcfg-rede: ENDEREÇO deve ser um IPv4 a.b.c.d (números de 0 a 255, sem zeros à "
    "esquerda)\n";
const std::string kHost =
    "tvxnetcfg-rede: ENDEREÇO não pode ser 0.x.x.x, multicast, reservado nem de difusão\n";
const std::string kTamanho = "tvxnetcfg-rede: TAMANHO deve ser um número de 1 a 2048\n";
const std::string kTempo = "tvxnetcfg-rede: TEMPO_MS deve ser um número de 1 a 10000\n";
const std::string kContagem = "tvxnetcfg-rede: número errado de argumentos\n";

TEST(AuxiliarRede, ArgumentosConferidosAntesDeQualquerCoisa) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        const std::vector<Chamada> tabela = {
            {{}, 2, "", "tvxnetcfg-rede: falta a operação\n" + kUsoEco + kUsoArp},
            {{"ping", "127.0.0.1"},
             2,
             "",
             "tvxnetcfg-rede: operação desconhecida\n" + kUsoEco + kUsoArp},
            {{"ECO", "127.0.0.1", "32", "1000"},
             2,
             "",
             "tvxnetcfg-rede: operação desconhecida\n" + kUsoEco + kUsoArp},
            {{"eco", "127.0.0.1", "32"}, 2, "", kContagem + kUsoEco},
            {{"eco", "127.0.0.1", "32", "1000", ""}, 2, "", kContagem + kUsoEco},
            {{"apagar-arp"}, 2, "", kContagem + kUsoArp},
            {{"apagar-arp", "10.78.0.5", "tvxa"}, 2, "", kContagem + kUsoArp},
            {{"eco", "127.0.0.01", "32", "1000"}, 2, "", kIp + kUsoEco},
            {{"eco", " 127.0.0.1", "32", "1000"}, 2, "", kIp + kUsoEco},
            {{"eco", "127.1", "32", "1000"}, 2, "", kIp + kUsoEco},
            {{"eco", "localhost", "32", "1000"}, 2, "", kIp + kUsoEco},
            {{"apagar-arp", "10.78.0.256"}, 2, "", kIp + kUsoArp},
            {{"eco", "0.0.0.0", "32", "1000"}, 2, "", kHost + kUsoEco},
            {{"eco", "224.0.0.1", "32", "1000"}, 2, "", kHost + kUsoEco},
            {{"eco", "255.255.255.255", "32", "1000"}, 2, "", kHost + kUsoEco},
            {{"apagar-arp", "240.0.0.1"}, 2, "", kHost + kUsoArp},
            {{"eco", "127.0.0.1", "032", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", "+32", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", " 32", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", "0", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", "2049", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", "4294967328", "1000"}, 2, "", kTamanho + kUsoEco},
            {{"eco", "127.0.0.1", "32", "-1"}, 2, "", kTempo + kUsoEco},
            {{"eco", "127.0.0.1", "32", "0"}, 2, "", kTempo + kUsoEco},
            {{"eco", "127.0.0.1", "32", "10001"}, 2, "", kTempo + kUsoEco},
            {{"eco", "127.0.0.1", "32", "1000 "}, 2, "", kTempo + kUsoEco},
            {{"eco", "127.0.0.1", "2048", "10000"}, 0, "0 127.0.0.1 0 # 2048\n", ""},
            {{"eco", "10.77.0.9", "1", "300"}, 0, "11010 0.0.0.0 11010 # 1\n", ""},
            {{"apagar-arp", "10.78.0.5"}, 0, "2\n", ""},  // no subnet holds it: ENOENT
        };
        const std::string auxiliar = os::CaminhoAuxiliarRede();
        for (const Chamada& c : tabela) {
            std::string saida, erro;
            EXPECT_EQ(Rodar(auxiliar, c.argumentos, saida, erro), c.estado) << erro;
            EXPECT_TRUE(Casa(saida, c.saida)) << saida;
            EXPECT_EQ(erro, c.erro);
        }
    });
}

// A stand-in helper that runs comando; the program's checks of its answer.
TEST(AuxiliarRede, RespostaLidaComRigorNoTempoLimite) {
    const fs::path pasta = fs::temp_directory_path() / ("tvx-auxiliar-" + std::to_string(getpid()));
    fs::create_directories(pasta);
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

enum class Quem { Root, Nobody };

// In a child process, as root or as nobody: the ARP removal of a dynamic
// (.5), a permanent (.6) and a NOARP (.7) entry, a series to loopback and
// one to a silent address. Returns what it saw, one line each.
std::string NoFilho(Quem quem, const std::string& auxiliar) {
    const passwd* nobody = getpwnam("nobody");
    const group* nogroup = getgrnam("nogroup");
    int tubo[2];
    if (nobody == nullptr || nogroup == nullptr || pipe(tubo) != 0) {
        return "sem nobody";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(tubo[0]);
        if (quem == Quem::Nobody &&
            (setgroups(0, nullptr) != 0 ||
             setresgid(nogroup->gr_gid, nogroup->gr_gid, nogroup->gr_gid) != 0 ||
             setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0)) {
            _exit(1);
        }
        os::DefinirAuxiliarRede(auxiliar);
        std::string visto = RemoverArp("10.78.0.5") ? "1" : "0";
        visto += RemoverArp("10.78.0.6") ? "1" : "0";
        visto += RemoverArp("10.78.0.7") ? "1" : "0";
        cEquipamento equipamento;
        FilaProgresso fila;
        cThreadProgramar trabalhador(equipamento);
        trabalhador.janela = &fila;
        trabalhador.PingarSerie("127.0.0.1", 2, false);
        trabalhador.PingarSerie("10.77.0.9", 1, false);
        for (const std::string& t : fila.Textos()) {
            visto += "\n" + t;
        }
        (void)!write(tubo[1], visto.data(), visto.size());
        _exit(0);
    }
    close(tubo[1]);
    const std::string visto = LerAteFechar(tubo[0]);
    waitpid(pid, nullptr, 0);
    return visto;
}

TEST(AuxiliarRede, SemPrivilegioPeloAuxiliarCapaz) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        std::string faixa;
        ASSERT_EQ(rede.Executar("cat /proc/sys/net/ipv4/ping_group_range", &faixa), 0);
        ASSERT_EQ(faixa, "1\t0\n") << "nobody must not have datagram ICMP sockets here";
        const fs::path pasta =
            fs::temp_directory_path() / ("tvx-capaz-" + std::to_string(getpid()));
        fs::create_directories(pasta);
        fs::permissions(pasta, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
        const std::string capaz = pasta / "tvxnetcfg-rede";
        fs::copy_file(os::CaminhoAuxiliarRede(), capaz, fs::copy_options::overwrite_existing);
        ASSERT_EQ(rede.Executar("setcap cap_net_raw,cap_net_admin+ep " + capaz), 0)
            << "needs setcap";

        const std::string eco = "\nPing recebido de 127.0.0.1 ,Status=0 ,Tempo:# ms ,Bytes:32";
        const std::string ok = "100" + eco + eco + "\nPing falhou: 11010";
        const std::string semPrivilegio = "000\nPing falhou: 1\nPing falhou: 1";
        const struct {
            Quem quem;
            std::string auxiliar;
            std::string visto;
        } tabela[] = {
            {Quem::Root, "/nenhum/tvxnetcfg-rede", ok},  // does it all itself
            {Quem::Nobody, capaz, ok},
            {Quem::Nobody, os::CaminhoAuxiliarRede(), semPrivilegio},  // without capabilities
            {Quem::Nobody, "/nenhum/tvxnetcfg-rede", semPrivilegio},
        };
        for (const auto& c : tabela) {
            ASSERT_EQ(
                rede.Executar(
                    "ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale && "
                    "ip neigh replace 10.78.0.6 lladdr 02:00:00:00:00:06 dev tvxa nud permanent && "
                    "ip neigh replace 10.78.0.7 lladdr 02:00:00:00:00:07 dev tvxa nud noarp"),
                0);
            const std::string visto = NoFilho(c.quem, c.auxiliar);
            EXPECT_TRUE(Casa(visto, c.visto)) << c.auxiliar << ":\n" << visto;
            std::string vizinhos;
            ASSERT_EQ(rede.Executar("ip -4 neigh show nud all dev tvxa", &vizinhos), 0);
            EXPECT_EQ(vizinhos.find("10.78.0.5 ") == std::string::npos, c.visto == ok) << vizinhos;
            EXPECT_NE(vizinhos.find("10.78.0.6 lladdr 02:00:00:00:00:06 PERMANENT"),
                      std::string::npos);
            EXPECT_NE(vizinhos.find("10.78.0.7 lladdr 02:00:00:00:00:07 NOARP"), std::string::npos);
        }
        fs::remove_all(pasta);
    });
}

}  // namespace
}  // namespace tvx
