#pragma once
// The few file operations the configuration file and the log need, behind a
// layer of our own so that another operating system can sit beside this one.
// Paths are byte strings as the file system takes them.
#include <string>
#include <string_view>

namespace tvx::os {

enum class ResultadoLeitura { Lido, Inexistente, Erro };
// The whole file into conteudo; Inexistente when there is no such file.
ResultadoLeitura LerArquivoInteiro(const std::string& caminho, std::string& conteudo);

// Writes conteudo to a new file beside caminho, flushes it to the disk and
// renames it over caminho, so that readers see the old file or the new one,
// never a part. An existing file's permissions are kept. On any failure the
// temporary file is removed, caminho is untouched, and the result is false.
bool SubstituirArquivo(const std::string& caminho, std::string_view conteudo);

// Size in bytes of a regular file; -1 when it is missing or not readable.
long long TamanhoArquivo(const std::string& caminho);

// Opens for appending (creating the file), writes every byte, closes.
bool AnexarArquivo(const std::string& caminho, std::string_view bytes);

enum class ResultadoRenomear { Feito, DestinoExiste, Falhou };
// Renames de to para only when para does not exist yet; never replaces a file.
ResultadoRenomear RenomearSemSubstituir(const std::string& de, const std::string& para);

bool ArquivoExiste(const std::string& caminho);

// The process's working directory, empty when it cannot be read.
std::string DiretorioAtual();

}  // namespace tvx::os
