#pragma once
// One private directory per fuzzing process for the files a target must go
// through (the configuration file is read by path). It lives in memory when
// /dev/shm is there, so the save's flush to disk costs nothing, and it is
// removed when the process ends normally (an abort leaves it behind, which
// is why scripts/fuzz.sh gives each run a directory of its own to clear).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace tvx::fuzz {

inline std::string& PastaTemporariaAtual() {
    static std::string pasta;
    return pasta;
}

inline void RemoverPastaTemporaria() {
    std::error_code erro;
    if (!PastaTemporariaAtual().empty()) {
        std::filesystem::remove_all(PastaTemporariaAtual(), erro);
    }
}

inline const std::string& PastaTemporaria() {
    std::string& pasta = PastaTemporariaAtual();
    if (!pasta.empty()) {
        return pasta;
    }
    std::string base = "/tmp";
    // scripts/fuzz.sh names a directory it removes afterwards, crash or not.
    if (const char* dada = std::getenv("TVX_FUZZ_PASTA"); dada != nullptr && *dada != '\0') {
        base = dada;
    } else if (access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    } else if (const char* t = std::getenv("TMPDIR"); t != nullptr && *t != '\0') {
        base = t;
    }
    std::string modelo = base + "/tvx-fuzz-XXXXXX";
    if (mkdtemp(modelo.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    pasta = modelo;
    std::atexit(RemoverPastaTemporaria);
    return pasta;
}

}  // namespace tvx::fuzz
