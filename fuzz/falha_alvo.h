#pragma once
// A broken invariant ends the fuzz target the way a sanitizer report does:
// a message naming the target and an abort, so libFuzzer keeps the input.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace tvx::fuzz {

[[noreturn]] inline void Falha(const char* motivo) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, motivo);
    std::abort();
}

inline void Exigir(bool condicao, const char* motivo) {
    if (!condicao) {
        Falha(motivo);
    }
}

}  // namespace tvx::fuzz
