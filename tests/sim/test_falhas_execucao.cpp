// Whole runs against a misbehaving device: for each kind of exchange of each
// family and each way the device can fail, the run must end with the lines a
// technician is meant to see, within the time-outs, with the link closed and
// no descriptor left behind. A few of them also go through tvxnetcfg-cli to
// show that the log keeps every line the terminal showed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/texto.h"
#include "falhas_apoio.h"

extern char** environ;

namespace tvx {
namespace {

using namespace teste;
using sim::AlvoFalha;
using sim::Falha;
using sim::Simulador;

// ---- family 10: command 'L' 22, framed and acknowledged (model 15: no restart)

TEST(FalhasExecucao, Familia10ComandoPorTcp) {
    const Linhas falhou = ProgTcp() + Linhas{kEnviandoIp, kFalhaProgramacao};
    ExecutarTabela({
        Linha("refuse", 15, Meio::Tcp, kAcaoProgramar, Falha::Recusar, kL22, falhou),
        Linha("close mid-reply", 15, Meio::Tcp, kAcaoProgramar, Falha::FecharNoMeio, kL22, falhou),
        Linha("short", 15, Meio::Tcp, kAcaoProgramar, Falha::RespostaCurta, kL22, falhou),
        Linha("garbage", 15, Meio::Tcp, kAcaoProgramar, Falha::Lixo, kL22, falhou),
        Linha("dropped", 15, Meio::Tcp, kAcaoProgramar, Falha::SumirSerial, kL22, falhou),
    });
}

TEST(FalhasExecucao, Familia10ComandoPelaSerial) {
    const Linhas falhou = ProgSerial() + Linhas{kEnviandoIp, kFalhaProgramacao};
    ExecutarTabela({
        Linha("refuse", 15, Meio::Serial, kAcaoProgramar, Falha::Recusar, kL22, falhou),
        Linha("close mid-reply", 15, Meio::Serial, kAcaoProgramar, Falha::FecharNoMeio, kL22,
              falhou),
        Linha("short", 15, Meio::Serial, kAcaoProgramar, Falha::RespostaCurta, kL22, falhou),
        Linha("garbage", 15, Meio::Serial, kAcaoProgramar, Falha::Lixo, kL22, falhou),
        Linha("vanish", 15, Meio::Serial, kAcaoProgramar, Falha::SumirSerial, kL22, falhou),
    });
}

// A reply longer than the channel's buffer: the part that fits carries the
// acknowledgement, the rest must not spill into the next exchange.
TEST(FalhasExecucao, RespostaMaiorQueOBuffer) {
    const std::string texto =
        TextoConfiguracao("TVX8100", kIpFabrica, "255.255.255.0", "0.0.0.0", 15);
    const Linhas fim = FimLeitura(kIpFabrica, "255.255.255.0", "0.0.0.0", texto);
    ExecutarTabela({
        Linha("L22 tcp", 15, Meio::Tcp, kAcaoProgramar, Falha::RespostaGigante, kL22,
              ProgTcp() +
                  Linhas{kEnviandoIp, "Programação de IP OK.", "OK", "Programação finalizada.",
                         kLeituraIniciada, Eco(kIpFabrica)} +
                  fim),
        Linha("L31 tcp", 15, Meio::Tcp, kAcaoLer, Falha::RespostaGigante, kL31, LeTcp() + fim),
        Linha("L31 serial", 15, Meio::Serial, kAcaoLer, Falha::RespostaGigante, kL31,
              LeSerial() + fim),
    });
}

// ---- the read command 'L' 31

TEST(FalhasExecucao, LeituraComandoPorTcpEPelaSerial) {
    ExecutarTabela({
        Linha("tcp dropped", 3, Meio::Tcp, kAcaoLer, Falha::SumirSerial, kL31,
              LeTcp() + Linhas{kFalhaRecv}),
        // Four bytes arrive before the close: a reply, without any text in it.
        Linha("tcp close mid-reply", 3, Meio::Tcp, kAcaoLer, Falha::FecharNoMeio, kL31,
              LeTcp() + FimLeitura("", "", "", "")),
        Linha("serial vanish", 3, Meio::Serial, kAcaoLer, Falha::SumirSerial, kL31,
              LeSerial() + Linhas{kFalhaRecv}),
    });
}

// ---- families 1, 6, 9, 15: unframed address blocks

TEST(FalhasExecucao, BlocosDeEndereco) {
    std::vector<Caso> casos;
    static const std::vector<std::pair<uint32_t, const char*>> modelos{
        {8, "family 1"}, {21, "family 6"}, {27, "family 9"}, {19, "family 15"}};
    for (const auto& [modelo, nome] : modelos) {
        casos.push_back(Linha(nome, modelo, Meio::Tcp, kAcaoProgramar, Falha::SumirSerial, kBloco,
                              ProgTcp() + Linhas{kEnviandoIp, kFalhaRecv}));
    }
    casos.push_back(
        Linha("family 6 refuse", 21, Meio::Tcp, kAcaoProgramar, Falha::Recusar, kBloco,
              ProgTcp() + Linhas{kEnviandoIp, "Falha na programação.Reprograme o MAC."}));
    casos.push_back(
        Linha("family 6 garbage", 21, Meio::Tcp, kAcaoProgramar, Falha::Lixo, kBloco,
              ProgTcp() + Linhas{kEnviandoIp, "Falha na programação.Reprograme o MAC."}));
    ExecutarTabela(casos);
}

// ---- family 21: Modbus registers

TEST(FalhasExecucao, Familia21Modbus) {
    const Linhas falhou = ProgTcp() + Linhas{kEnviandoIp, "Falha ao programar IP parte LOW"};
    // Only an exception code is looked for in a Modbus TCP reply: a reply of
    // any other content or length counts as done.
    const Linhas aceito = ProgTcp() + Linhas{kEnviandoIp,
                                             "",
                                             "OK",
                                             "Programação finalizada.",
                                             kLeituraIniciada,
                                             Eco(kIpFabrica),
                                             "INFORMAÇÃO EXTRA",
                                             "*",
                                             "Leitura finalizada."};
    AlvoFalha uma = kReg1282;
    uma.ocorrencias = 1;
    ExecutarTabela({
        Linha("exception", 30, Meio::Tcp, kAcaoProgramar, Falha::ExcecaoModbus, kReg1282, falhou,
              kRapido, {}, true),
        Linha("refuse", 30, Meio::Tcp, kAcaoProgramar, Falha::Recusar, kReg1282, falhou, kRapido,
              {}, true),
        Linha("dropped", 30, Meio::Tcp, kAcaoProgramar, Falha::SumirSerial, kReg1282, falhou,
              kRapido, {}, true),
        // Half a reply, then the close: the low half is taken as written and
        // the high half finds the link gone.
        Linha("close mid-reply", 30, Meio::Tcp, kAcaoProgramar, Falha::FecharNoMeio, kReg1282,
              ProgTcp() + Linhas{kEnviandoIp, "Falha ao programar IP parte HIGH"}, kRapido, {},
              true),
        Linha("garbage", 30, Meio::Tcp, kAcaoProgramar, Falha::Lixo, uma, aceito, kRapido, {},
              true),
        Linha("short", 30, Meio::Tcp, kAcaoProgramar, Falha::RespostaCurta, uma, aceito, kRapido,
              {}, true),
    });
}

// ---- the extra steps: framed, unframed block and Modbus

TEST(FalhasExecucao, PassosExtras) {
    const Linhas rtu = ProgTcp() + Linhas{"Enviando programação de RTU e Velocidade...",
                                          kFalhaProgramacao, "Falha"};
    const Linhas mac = ProgTcp() + Linhas{"Enviando programação de MAC...", kFalhaRecv, "Falha"};
    // Family 21 without "Alterar IP?": the new address is not pinged.
    const Linhas inicio21{kBanner,      kIniciada,
                          kVerificando, Eco(kIpFabrica),
                          kConectando,  "Enviando programação de Entrada Digital..."};
    const Linhas entradas = inicio21 + Linhas{"Falha ao programar Entrada Digital", "Falha"};
    const Linhas entradasAceitas = inicio21 + Linhas{"OK.",
                                                     "Reconectando no equipamento...",
                                                     "Programação finalizada.",
                                                     kLeituraIniciada,
                                                     Eco(kIpFabrica),
                                                     "INFORMAÇÃO EXTRA",
                                                     "*",
                                                     "Leitura finalizada."};
    AlvoFalha r1280uma{{}, {}, 1280};
    r1280uma.ocorrencias = 1;
    const AlvoFalha l2{'L', 2};
    const AlvoFalha r1280{{}, {}, 1280};
    ExecutarTabela({
        Linha("L2 garbage", 23, Meio::Tcp, kAcaoProgramar, Falha::Lixo, l2, rtu, kRapido,
              {kPassoRtuVelocidade}),
        Linha("L2 close mid-reply", 23, Meio::Tcp, kAcaoProgramar, Falha::FecharNoMeio, l2, rtu,
              kRapido, {kPassoRtuVelocidade}),
        Linha("L2 short", 23, Meio::Tcp, kAcaoProgramar, Falha::RespostaCurta, l2, rtu, kRapido,
              {kPassoRtuVelocidade}),
        Linha("MAC block dropped", 28, Meio::Tcp, kAcaoProgramar, Falha::SumirSerial, kBloco, mac,
              kRapido, {kPassoMac}),
        Linha("1280 garbage", 30, Meio::Tcp, kAcaoProgramar, Falha::Lixo, r1280uma, entradasAceitas,
              kRapido, {kPassoEntradasDigitais}),
        Linha("1280 exception", 30, Meio::Tcp, kAcaoProgramar, Falha::ExcecaoModbus, r1280,
              entradas, kRapido, {kPassoEntradasDigitais}),
        Linha("1280 dropped", 30, Meio::Tcp, kAcaoProgramar, Falha::SumirSerial, r1280, entradas,
              kRapido, {kPassoEntradasDigitais}),
    });
}

// ---- silence: one case per medium, each waits out the channel's time-out

TEST(FalhasExecucao, SilencioUmPorMeio) {
    using std::chrono::milliseconds;
    ExecutarTabela({
        Linha("tcp", 15, Meio::Tcp, kAcaoProgramar, Falha::Calar, kL22,
              ProgTcp() + Linhas{kEnviandoIp, kFalhaProgramacao}, milliseconds(36000)),
        Linha("serial", 15, Meio::Serial, kAcaoProgramar, Falha::Calar, kL22,
              ProgSerial() + Linhas{kEnviandoIp, kFalhaProgramacao}, milliseconds(36000)),
    });
}

// ---- through tvxnetcfg-cli: every line it printed is in the log

// Beside this test program in the build tree: tests/ and cli/.
std::string CaminhoCli() {
    std::error_code erro;
    const auto eu = std::filesystem::read_symlink("/proc/self/exe", erro);
    if (erro) {
        return "";
    }
    const auto cli = eu.parent_path().parent_path() / "cli" / "tvxnetcfg-cli";
    return std::filesystem::exists(cli) ? cli.string() : "";
}

std::string LerTudo(const std::string& caminho) {
    std::ifstream f(caminho, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// Runs the program in pasta from the calling thread (so in its network
// namespace), at most limite; the exit code, or -1 when it had to be killed.
int ExecutarCli(const std::string& cli, const std::vector<std::string>& argumentos,
                const std::string& pasta, std::chrono::seconds limite) {
    std::vector<std::string> todos{cli};
    todos.insert(todos.end(), argumentos.begin(), argumentos.end());
    std::vector<char*> argv;
    for (std::string& a : todos) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string saida = pasta + "/stdout";
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_addchdir_np(&acoes, pasta.c_str());
    posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&acoes, STDOUT_FILENO, saida.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&acoes, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int r = posix_spawn(&pid, argv[0], &acoes, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&acoes);
    if (r != 0) {
        return -1;
    }
    const auto fim = RelogioTeste::now() + limite;
    int estado = 0;
    while (waitpid(pid, &estado, WNOHANG) != pid) {
        if (RelogioTeste::now() > fim) {
            kill(pid, SIGKILL);
            waitpid(pid, &estado, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

// The log's lines without their date and time prefix, in UTF-8 and without
// the CR of each line, as the terminal showed them.
std::string LogComoTerminal(const std::string& log) {
    static const std::regex prefixo("^[0-9]{2}/[0-9]{2}/[0-9]{4}\t[0-9]{2}:[0-9]{2}:[0-9]{2}\t");
    std::string texto;
    std::istringstream s(Cp1252ParaUtf8(log));
    for (std::string l; std::getline(s, l);) {
        if (!l.empty() && l.back() == '\r') {
            l.pop_back();
        }
        texto += std::regex_replace(l, prefixo, "") + "\n";
    }
    return texto;
}

TEST(FalhasExecucao, CliNadaSePerdeDoLog) {
    const std::string cli = CaminhoCli();
    if (cli.empty()) {
        GTEST_SKIP() << "tvxnetcfg-cli is not built beside this test program";
    }
    struct CasoCli {
        const char* nome;
        uint32_t modelo;
        Falha falha;
        AlvoFalha alvo;
        std::vector<std::string> argumentos;
        const char* ultima;  // the run's last line
    };
    const std::vector<std::string> programar{"--medium",  "0",        "--ip",
                                             "10.0.0.50", "--mask",   "255.255.255.0",
                                             "--gateway", "10.0.0.1", "program"};
    const std::vector<CasoCli> casos{
        {"L22 refused", 15, Falha::Recusar, kL22, programar, kFalhaProgramacao},
        {"L22 garbage", 15, Falha::Lixo, kL22, programar, kFalhaProgramacao},
        {"L22 dropped", 15, Falha::SumirSerial, kL22, programar, kFalhaProgramacao},
        {"block dropped", 19, Falha::SumirSerial, kBloco, programar, kFalhaRecv},
        {"Modbus exception",
         30,
         Falha::ExcecaoModbus,
         AlvoFalha{{}, {}, 1280},
         {"--medium", "0", "--param", "Enviar Programação de Entrada Digital=1", "program"},
         "Falha"},
        {"L31 dropped", 3, Falha::SumirSerial, kL31, {"--medium", "0", "read"}, kFalhaRecv},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        PrepararRede(rede);
        for (const CasoCli& c : casos) {
            SCOPED_TRACE(c.nome);
            Simulador sim(c.modelo);
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
            sim.DefinirFalha(c.falha, c.alvo);
            const std::string pasta = std::filesystem::temp_directory_path() /
                                      ("tvx-falhas-cli-" + std::to_string(getpid()));
            std::filesystem::create_directories(pasta);
            std::vector<std::string> argumentos{"--model", std::to_string(c.modelo)};
            argumentos.insert(argumentos.end(), c.argumentos.begin(), c.argumentos.end());
            const int codigo = ExecutarCli(cli, argumentos, pasta, std::chrono::seconds(30));
            const std::string saida = LerTudo(pasta + "/stdout");
            const std::string log = LerTudo(pasta + "/tvxnetcfg.log");
            std::filesystem::remove_all(pasta);
            EXPECT_EQ(1, codigo) << saida;
            EXPECT_NE(std::string::npos, saida.find(std::string("\n") + c.ultima + "\n")) << saida;
            EXPECT_EQ(saida, LogComoTerminal(log));
        }
    });
}

}  // namespace
}  // namespace tvx
