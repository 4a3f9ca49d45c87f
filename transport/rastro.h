#pragma once
// The frame trace: every frame the channel sends to a device and every reply
// it receives, with the time, the medium and the peer, in hex with the
// printable bytes beside (as a protocol analyser shows them). It is what a
// technician sends the maker when a device answers something unexpected.
// Switched on for the whole process (tvxnetcfg-cli --trace, the wizard's
// TVXNETCFG_TRACE); nothing else changes when it is on.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tvx {

// Where the trace's text goes (a file, a test's buffer). Called from the
// worker thread, one whole frame at a time.
using SaidaRastro = std::function<void(std::string_view texto)>;

enum class DirecaoRastro { Enviado, Recebido };

// The text of one frame:
//   2026-12-08 00:20:23.123 TCP 127.0.0.2:5003 >> 14 bytes
//     0000  00 0c 10 02 00 4c 16 06 00 00 10 03 3a b9        |.....L......:.|
// ">>" went to the device, "<<" came from it; "(não enviado)" follows the
// count of a frame the link refused.
std::string TextoQuadroRastro(std::chrono::system_clock::time_point quando, std::string_view meio,
                              std::string_view par, DirecaoRastro direcao, const uint8_t* bytes,
                              size_t tamanho, bool enviado = true);

// Installs saida for the whole process (an empty function switches the
// trace off). Before any run starts.
void DefinirSaidaRastro(SaidaRastro saida);
bool RastroLigado();
// Traces one frame when the trace is on.
void RastrearQuadro(std::string_view meio, std::string_view par, DirecaoRastro direcao,
                    const uint8_t* bytes, size_t tamanho, bool enviado = true);

}  // namespace tvx
