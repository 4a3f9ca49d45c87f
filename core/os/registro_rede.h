#pragma once
// The program's note of the temporary address it added, written before the
// address is: a run killed outright (SIGKILL) leaves it behind, and the next
// start removes exactly what it names. One small file per process, in a
// folder of the user's own: $XDG_RUNTIME_DIR/tvxnetcfg, or /tmp/tvxnetcfg-UID
// when that is unset or not the user's. A folder that is not a directory of
// this user, closed to everybody else, is never used; no link is followed.
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::os {

struct RegistroEndereco {
    // Who added it: a record of another boot or network namespace names
    // nothing here, and one of a running process is that process's business.
    std::string boot;
    uint64_t redeNs = 0;
    int64_t pid = 0;
    uint64_t inicioProcesso = 0;  // clock ticks after boot, against a reused pid
    // What it added.
    uint32_t indice = 0;
    std::string interface;
    uint32_t endereco = 0;  // IPv4 value
    uint8_t prefixo = 0;
};

// This process and thread as a record names them; no address yet.
RegistroEndereco RegistroDesteProcesso();
// False only when the process is certainly gone (or its pid now runs another).
bool DonoVivo(const RegistroEndereco& registro);

// 0 or an errno value; folder (when given) says where it looked.
int GravarRegistro(const RegistroEndereco& registro, std::string* pasta = nullptr);
int ApagarRegistro(int64_t pid);
// Every well-formed record in the folder (none when there is no folder).
std::vector<RegistroEndereco> LerRegistros();

}  // namespace tvx::os
