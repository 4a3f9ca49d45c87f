#pragma once
// A table saved as CSV by a technician's spreadsheet program: separator ';'
// or ',' (whichever the header line uses), UTF-8 with or without its byte
// order mark, or Windows-1252; fields in double quotes may hold the
// separator, quotes (doubled) and line breaks; lines end in CR LF or LF.
// The fields themselves are split by libcsv; the encoding, the separator and
// the numbering of the rows are ours.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::plano {

struct LinhaCsv {
    size_t numero = 0;                // as the spreadsheet numbers it: the header is 1
    std::vector<std::string> campos;  // UTF-8, blanks around unquoted fields removed
};

struct TabelaCsv {
    char separador = ';';
    // Rows with at least one field; a blank line is left out but counted.
    std::vector<LinhaCsv> linhas;
};

// How the bytes are taken: a spreadsheet's file as whichever encoding its
// bytes fit, UTF-8 first; a file of ours as Windows-1252 (in which it is
// written), unless a byte order mark says UTF-8. A Windows-1252 text can
// happen to be valid UTF-8 too, and would change if taken for it.
enum class Codificacao { Detectar, Windows1252 };

// False, with why in erro ("linha 4: ..."), for bytes that are no such table.
bool LerCsv(std::string_view bytes, TabelaCsv& tabela, std::string& erro,
            Codificacao codificacao = Codificacao::Detectar);

// One field for a file of ours: in quotes when it holds the separator, a
// quote, a line break or blanks at its ends.
std::string CampoCsv(std::string_view texto, char separador = ';');

}  // namespace tvx::plano
