#pragma once
// A program of the project (tvxnetcfg-cli, tvxnetcfg-sim) as a child process
// of a test: started in a working folder, its standard output and errors in
// files, its wait bounded. Started from the calling thread, so it shares that
// thread's network namespace.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/log_lido.h"

extern char** environ;

namespace tvx::teste {

// A fresh folder under the system's temporary folder, removed on destruction.
// It holds an empty tvxnetcfg.ini, as a technician's folder does: the program
// started in it keeps its profile and log there.
class PastaTemporaria {
  public:
    PastaTemporaria() {
        std::string modelo = (std::filesystem::temp_directory_path() / "tvxcli.XXXXXX").string();
        if (mkdtemp(modelo.data()) != nullptr) {
            caminho_ = modelo;
            std::ofstream(caminho_ + "/tvxnetcfg.ini");
        }
    }
    ~PastaTemporaria() {
        std::error_code ec;
        std::filesystem::remove_all(caminho_, ec);
    }
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;
    const std::string& Caminho() const { return caminho_; }
    std::string operator/(const std::string& nome) const { return caminho_ + "/" + nome; }

  private:
    std::string caminho_;
};

inline void GravarArquivo(const std::string& caminho, const std::string& conteudo) {
    std::ofstream(caminho, std::ios::binary) << conteudo;
}

class Processo {
  public:
    Processo(const std::string& programa, std::vector<std::string> argumentos,
             const std::string& pasta)
        : saida_(saidas_ / "stdout"), erros_(saidas_ / "stderr") {
        argumentos.insert(argumentos.begin(), programa);
        std::vector<char*> argv;
        for (std::string& a : argumentos) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        posix_spawn_file_actions_addchdir_np(&acoes, pasta.c_str());
        posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&acoes, STDOUT_FILENO, saida_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&acoes, STDERR_FILENO, erros_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        // The test program may block or ignore the stop signals; the child must not.
        posix_spawnattr_t atributos;
        posix_spawnattr_init(&atributos);
        sigset_t nenhum, padrao;
        sigemptyset(&nenhum);
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
    ~Processo() {
        Sinalizar(SIGKILL);
        Aguardar(std::chrono::seconds(5));
    }
    Processo(const Processo&) = delete;
    Processo& operator=(const Processo&) = delete;

    // The exit code (128 + the signal that ended it); -1 when it had to be
    // killed after limite, or did not start.
    int Aguardar(std::chrono::milliseconds limite) {
        const auto fim = std::chrono::steady_clock::now() + limite;
        while (pid_ > 0) {
            int estado = 0;
            if (waitpid(pid_, &estado, WNOHANG) == pid_) {
                pid_ = -1;
                codigo_ = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
            } else if (std::chrono::steady_clock::now() >= fim) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return codigo_;
    }
    // Waits until the standard output holds trecho (or limite passed).
    bool AguardarSaida(const std::string& trecho, std::chrono::milliseconds limite) {
        const auto fim = std::chrono::steady_clock::now() + limite;
        while (Saida().find(trecho) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= fim) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    void Sinalizar(int sinal) const {
        if (pid_ > 0) {
            kill(pid_, sinal);
        }
    }
    std::string Saida() const { return LerArquivo(saida_); }
    std::string Erros() const { return LerArquivo(erros_); }

  private:
    pid_t pid_ = -1;
    int codigo_ = -1;
    PastaTemporaria saidas_;
    std::string saida_;
    std::string erros_;
};

struct ResultadoCli {
    int codigo = -1;
    std::string saida;
    std::string erros;
};

// Runs tvxnetcfg-cli to its end (at most limite).
inline ResultadoCli ExecutarCli(const std::vector<std::string>& argumentos,
                                const std::string& pasta,
                                std::chrono::milliseconds limite = std::chrono::seconds(90)) {
    Processo processo(TVX_CLI, argumentos, pasta);
    const int codigo = processo.Aguardar(limite);
    return {codigo, processo.Saida(), processo.Erros()};
}

}  // namespace tvx::teste
