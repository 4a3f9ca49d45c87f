#pragma once
// The progress log: one time-stamped line per message, the file opened,
// appended and closed for every line, rotated to a time-stamped backup at
// 61440 bytes. Windows-1252 with CRLF.
#include <functional>
#include <string>

#include "core/utilitarios.h"

namespace tvx {

inline constexpr long kLimiteLog = 61440;

class cLog {
public:
    cLog();
    void DefinirArquivo(const std::string& arquivo);
    const std::string& Arquivo() const { return arquivo_; }
    // True when the line was written or there is nothing to do (empty name).
    bool Escrever(const std::string& texto);

    // The clock of the time stamps; tests set their own.
    std::function<Relogio()> relogio = [] { return LerRelogio(); };

private:
    std::string arquivo_;
};

}  // namespace tvx
