// Running the network helper: posix_spawn with an argument vector and an empty
// environment, its answer read from a pipe within a time limit.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "core/os/auxiliar_rede.h"

namespace tvx::os {

namespace {

using RelogioMonotonico = std::chrono::steady_clock;

// Starting a process and linking it takes a moment beyond the echo's own wait.
constexpr uint32_t kFolgaInicioMs = 2000;
constexpr uint32_t kLimiteArpMs = 5000;
constexpr size_t kRespostaMaxima = 128;

std::mutex gMutexCaminho;
std::string gCaminhoDefinido;

int RestanteMs(RelogioMonotonico::time_point limite) {
    const auto resto =
        std::chrono::ceil<std::chrono::milliseconds>(limite - RelogioMonotonico::now());
    return resto.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(resto.count(), INT_MAX));
}

// Waits for the child until the limit, then kills it; it is reaped either way.
bool Aguardar(pid_t pid, RelogioMonotonico::time_point limite, int& estado) {
    for (;;) {
        const pid_t r = waitpid(pid, &estado, WNOHANG);
        if (r == pid) {
            return true;
        }
        // Started with SIGCHLD ignored, the program has its children reaped
        // by the kernel: the status is gone, and the whole line (written
        // last, just before exit 0) is all there is to go by.
        if (r < 0 && errno == ECHILD) {
            estado = 0;
            return true;
        }
        if (r < 0 && errno != EINTR) {
            return false;
        }
        if (RestanteMs(limite) == 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &estado, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        usleep(1000);
    }
}

}  // namespace

std::string CaminhoAuxiliarRede() {
    {
        std::lock_guard<std::mutex> trava(gMutexCaminho);
        if (!gCaminhoDefinido.empty()) {
            return gCaminhoDefinido;
        }
    }
    // A program of this build tree uses the helper built beside it; any other
    // (the installed one, a copy) only the installed helper, so that nobody's
    // leftover build folder is ever run by somebody else.
    std::array<char, PATH_MAX> exe{};
    const ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    char* construcao = realpath(TVX_PASTA_CONSTRUCAO, nullptr);
    const bool daConstrucao = n > 0 && construcao != nullptr &&
                              std::string_view(exe.data(), static_cast<size_t>(n))
                                  .starts_with(std::string(construcao) + "/");
    std::free(construcao);
    return daConstrucao ? TVX_AUXILIAR_REDE_CONSTRUIDO : TVX_AUXILIAR_REDE_INSTALADO;
}

void DefinirAuxiliarRede(std::string caminho) {
    std::lock_guard<std::mutex> trava(gMutexCaminho);
    gCaminhoDefinido = std::move(caminho);
}

bool ConsultarAuxiliarRede(const std::vector<std::string>& argumentos, uint32_t limiteMs,
                           std::string& resposta) {
    const std::string caminho = CaminhoAuxiliarRede();
    std::vector<char*> argv{const_cast<char*>(caminho.c_str())};
    for (const std::string& a : argumentos) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    char* ambiente[] = {nullptr};

    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0) {
        return false;
    }
    // The pipe goes to stdout first, so that /dev/null on 0 and 2 cannot
    // replace it when the program itself runs without those descriptors.
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_adddup2(&acoes, tubo[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&acoes, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&acoes, STDERR_FILENO + 1);
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    sigset_t nenhum;
    sigemptyset(&nenhum);
    posix_spawnattr_setsigmask(&atributos, &nenhum);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int iniciado =
        posix_spawn(&pid, caminho.c_str(), &acoes, &atributos, argv.data(), ambiente);
    posix_spawn_file_actions_destroy(&acoes);
    posix_spawnattr_destroy(&atributos);
    close(tubo[1]);
    if (iniciado != 0) {
        close(tubo[0]);
        return false;
    }

    const auto limite = RelogioMonotonico::now() + std::chrono::milliseconds(limiteMs);
    std::string lido;
    bool inteiro = false;
    while (lido.size() <= kRespostaMaxima) {
        pollfd p{tubo[0], POLLIN, 0};
        const int r = poll(&p, 1, RestanteMs(limite));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        std::array<char, kRespostaMaxima + 1> bloco{};
        const ssize_t n = read(tubo[0], bloco.data(), bloco.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            inteiro = n == 0;
            break;
        }
        lido.append(bloco.data(), static_cast<size_t>(n));
    }
    close(tubo[0]);
    int estado = 0;
    const bool terminou = Aguardar(pid, inteiro ? limite : RelogioMonotonico::now(), estado);
    if (!inteiro || !terminou || !WIFEXITED(estado) || WEXITSTATUS(estado) != 0 || lido.empty() ||
        lido.find('\n') != lido.size() - 1) {
        return false;
    }
    lido.pop_back();
    resposta = std::move(lido);
    return true;
}

bool EcoPeloAuxiliar(uint32_t destino, uint16_t tamanhoDados, uint32_t tempoLimiteMs,
                     RespostaEco& resposta, long& erro) {
    std::string linha;
    return ConsultarAuxiliarRede(
               {kOperacaoEco, IpParaTexto(destino, true), std::to_string(tamanhoDados),
                std::to_string(tempoLimiteMs)},
               std::min(tempoLimiteMs, kTempoMaximoEcoAuxiliarMs) + kFolgaInicioMs, linha) &&
           LerRespostaEco(linha, erro, resposta);
}

bool ApagarArpPeloAuxiliar(uint32_t endereco, int& codigo) {
    std::string linha;
    return ConsultarAuxiliarRede({kOperacaoApagarArp, IpParaTexto(endereco, true)}, kLimiteArpMs,
                                 linha) &&
           LerRespostaCodigo(linha, codigo);
}

bool SondarArpPeloAuxiliar(const std::string& interface, uint32_t endereco, int& codigo) {
    std::string linha;
    return ConsultarAuxiliarRede({kOperacaoSondarArp, interface, IpParaTexto(endereco, true)},
                                 kEsperaSondaArpMs + kFolgaInicioMs, linha) &&
           LerRespostaCodigo(linha, codigo);
}

bool EnderecoProprioPeloAuxiliar(bool adicionar, const std::string& interface, uint32_t endereco,
                                 uint8_t prefixo, int& codigo) {
    std::string linha;
    return ConsultarAuxiliarRede({adicionar ? kOperacaoAdicionarEndereco : kOperacaoRemoverEndereco,
                                  interface, TextoEnderecoComPrefixo(endereco, prefixo)},
                                 kLimiteArpMs, linha) &&
           LerRespostaCodigo(linha, codigo);
}

}  // namespace tvx::os
