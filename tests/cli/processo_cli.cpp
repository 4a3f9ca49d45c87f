#include "processo_cli.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace tvx::teste {

PastaTemporaria::PastaTemporaria() {
    std::string modelo = (std::filesystem::temp_directory_path() / "tvxcli.XXXXXX").string();
    if (mkdtemp(modelo.data()) != nullptr) {
        caminho_ = modelo;
        GravarArquivo(caminho_ + "/tvxnetcfg.ini", "");
    }
}

PastaTemporaria::~PastaTemporaria() {
    if (!caminho_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(caminho_, ec);
    }
}

void GravarArquivo(const std::string& caminho, const std::string& conteudo) {
    std::ofstream(caminho, std::ios::binary) << conteudo;
}

ProcessoCli::ProcessoCli(const std::vector<std::string>& argumentos, const std::string& pasta)
    : arquivoSaida_(saidas_ / "stdout"), arquivoErros_(saidas_ / "stderr") {
    std::vector<std::string> todos{TVX_CLI};
    todos.insert(todos.end(), argumentos.begin(), argumentos.end());
    std::vector<char*> argv;
    for (std::string& a : todos) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_addchdir_np(&acoes, pasta.c_str());
    posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&acoes, STDOUT_FILENO, arquivoSaida_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&acoes, STDERR_FILENO, arquivoErros_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    sigset_t nenhum;
    sigemptyset(&nenhum);
    sigset_t padrao;
    sigemptyset(&padrao);
    sigaddset(&padrao, SIGINT);
    sigaddset(&padrao, SIGTERM);
    posix_spawnattr_setsigmask(&atributos, &nenhum);
    posix_spawnattr_setsigdefault(&atributos, &padrao);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (posix_spawn(&pid_, argv[0], &acoes, &atributos, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawnattr_destroy(&atributos);
    posix_spawn_file_actions_destroy(&acoes);
}

ProcessoCli::~ProcessoCli() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int ProcessoCli::Aguardar(std::chrono::milliseconds limite) {
    if (pid_ <= 0) {
        return codigo_;
    }
    const auto fim = std::chrono::steady_clock::now() + limite;
    int estado = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &estado, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            codigo_ = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
            return codigo_;
        }
        if (std::chrono::steady_clock::now() >= fim) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return codigo_ = -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ProcessoCli::AguardarSaida(const std::string& trecho, std::chrono::milliseconds limite) const {
    const auto fim = std::chrono::steady_clock::now() + limite;
    while (Saida().find(trecho) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= fim) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void ProcessoCli::Sinalizar(int sinal) const {
    if (pid_ > 0) {
        kill(pid_, sinal);
    }
}

ResultadoCli ExecutarCli(const std::vector<std::string>& argumentos, const std::string& pasta,
                         std::chrono::milliseconds limite) {
    ProcessoCli processo(argumentos, pasta);
    ResultadoCli r;
    r.codigo = processo.Aguardar(limite);
    r.saida = processo.Saida();
    r.erros = processo.Erros();
    return r;
}

}  // namespace tvx::teste
