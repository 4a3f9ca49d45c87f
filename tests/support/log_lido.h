#pragma once
// Reading back the progress log the front ends write (Windows-1252, CR LF,
// each message prefixed with its date and time) to compare it with what the
// technician saw.
#include <string>

namespace tvx::teste {

std::string LerArquivo(const std::string& caminho);

struct LogLido {
    // UTF-8; each line of the file without its prefix (or the two tabs of a
    // message's later line) and CR, ending in "\n".
    std::string texto;
    size_t mensagens = 0;  // lines that carry the date and time prefix
    bool crlf = true;      // every line ends with CR LF
};
LogLido LerLog(const std::string& bytes);

// A progress line as a terminal shows it: its CR LF pairs become LF, and a
// line feed ends it.
std::string ComoTerminal(const std::string& linha);

}  // namespace tvx::teste
