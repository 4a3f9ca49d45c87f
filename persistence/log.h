#pragma once
// The progress log: one time-stamped line per message, the file opened,
// appended and closed for every line, rotated to a time-stamped backup at
// 61440 bytes. Windows-1252 with CRLF.
#include <functional>
#include <string>

#include "core/utilitarios.h"
#include "persistence/os/arquivos.h"

namespace tvx {

inline constexpr long kLimiteLog = 61440;

class cLog {
  public:
    cLog();
    void DefinirArquivo(const std::string& arquivo);
    const std::string& Arquivo() const { return arquivo_; }
    // Ok when the line was written or there is nothing to do (empty name);
    // otherwise why it was not (a link or a pipe by the log's name is
    // refused, never written through or waited on).
    os::ResultadoArquivo Escrever(const std::string& texto);
    // Whether the name can be a log at all: a missing file can (the first
    // line creates it); a link, a folder, a pipe or a device node cannot.
    os::ResultadoArquivo Verificar() const;

    // The clock of the time stamps; tests set their own.
    std::function<Relogio()> relogio = [] { return LerRelogio(); };

  private:
    std::string arquivo_;
};

// "não foi possível escrever no log "<arquivo>": <motivo>"
std::string TextoFalhaLog(const std::string& arquivo, const os::ResultadoArquivo& resultado);

}  // namespace tvx
