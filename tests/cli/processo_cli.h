#pragma once
// tvxnetcfg-cli as a child process of a test: started in a working folder of
// its own, its standard output and errors in files, its wait bounded.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/log_lido.h"

namespace tvx::teste {

// A fresh folder under the system's temporary folder, removed on destruction.
// It holds an empty tvxnetcfg.ini, as a technician's folder does: the program
// started in it keeps its profile and log there.
class PastaTemporaria {
  public:
    PastaTemporaria();
    ~PastaTemporaria();
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;
    const std::string& Caminho() const { return caminho_; }
    std::string operator/(const std::string& nome) const { return caminho_ + "/" + nome; }

  private:
    std::string caminho_;
};

void GravarArquivo(const std::string& caminho, const std::string& conteudo);

class ProcessoCli {
  public:
    // Starts tvxnetcfg-cli with argumentos in pasta. Started from the calling
    // thread, so it shares that thread's network namespace.
    ProcessoCli(const std::vector<std::string>& argumentos, const std::string& pasta);
    ~ProcessoCli();
    ProcessoCli(const ProcessoCli&) = delete;
    ProcessoCli& operator=(const ProcessoCli&) = delete;

    bool Iniciado() const { return pid_ > 0; }
    // The exit code; -1 when it had to be killed after limite, or did not start.
    int Aguardar(std::chrono::milliseconds limite);
    // Waits until the standard output holds trecho (or limite passed).
    bool AguardarSaida(const std::string& trecho, std::chrono::milliseconds limite) const;
    void Sinalizar(int sinal) const;
    std::string Saida() const { return LerArquivo(arquivoSaida_); }
    std::string Erros() const { return LerArquivo(arquivoErros_); }

  private:
    pid_t pid_ = -1;
    int codigo_ = -1;
    PastaTemporaria saidas_;
    std::string arquivoSaida_;
    std::string arquivoErros_;
};

struct ResultadoCli {
    int codigo = -1;
    std::string saida;
    std::string erros;
};

// Runs it to its end (at most limite).
ResultadoCli ExecutarCli(const std::vector<std::string>& argumentos, const std::string& pasta,
                         std::chrono::milliseconds limite = std::chrono::seconds(90));

}  // namespace tvx::teste
