#pragma once
// The few file operations the configuration file and the log need, behind a
// layer of our own so that another operating system can sit beside this one.
// Paths are byte strings as the file system takes them.
//
// None of them follows a symbolic link in the last part of a path, and none
// reads or writes anything but a regular file: a link planted where the
// profile or the log should be, a pipe, a folder or a device node is refused
// before a byte moves, and no open can block.
#include <string>
#include <string_view>

namespace tvx::os {

// Refusals of our own, beside the errno values (which are all positive).
inline constexpr int kErroLink = -1;        // the name is a symbolic link
inline constexpr int kErroNaoRegular = -2;  // a folder, a pipe, a device node...
inline constexpr int kErroGrande = -3;      // larger than the caller takes

// How a file operation ended: erro 0, or why it failed.
struct ResultadoArquivo {
    int erro = 0;

    bool Ok() const { return erro == 0; }
    explicit operator bool() const { return Ok(); }
    // Nothing by that name (or a part of the path is no folder).
    bool Inexistente() const;
};

// The reason in words for the technician, in Portuguese ("permissão negada",
// "é um link simbólico", ...).
std::string MotivoFalha(const ResultadoArquivo& resultado);

// The whole file into conteudo, at most limite bytes (kErroGrande beyond).
ResultadoArquivo LerArquivoInteiro(const std::string& caminho, std::string& conteudo,
                                   size_t limite);

// Writes conteudo to a new file beside caminho, flushes it to the disk and
// renames it over caminho, so that readers see the old file or the new one,
// never a part. An existing file's owner and permissions are kept. On any
// failure the temporary file is removed and caminho is untouched; except
// where the folder takes no new file but the file itself may be written:
// then the file is rewritten in place and flushed.
ResultadoArquivo SubstituirArquivo(const std::string& caminho, std::string_view conteudo);

// Size in bytes of the file the name itself stands for (a link is not
// followed but refused). A missing file is Inexistente.
ResultadoArquivo TamanhoArquivo(const std::string& caminho, long long& tamanho);

// Opens for appending (creating the file), writes every byte, closes.
ResultadoArquivo AnexarArquivo(const std::string& caminho, std::string_view bytes);

enum class ResultadoRenomear { Feito, DestinoExiste, Falhou };
// Renames de to para only when para does not exist yet; never replaces a file.
ResultadoRenomear RenomearSemSubstituir(const std::string& de, const std::string& para);

bool ArquivoExiste(const std::string& caminho);

// The process's working directory, empty when it cannot be read.
std::string DiretorioAtual();

// The user's folders for configuration and for state: $XDG_CONFIG_HOME and
// $XDG_STATE_HOME when they hold an absolute path, else ~/.config and
// ~/.local/state; empty when there is no home folder to go by.
std::string PastaConfiguracaoUsuario();
std::string PastaEstadoUsuario();

// Makes the folder and each missing folder above it, mode 0700. A folder
// that is there is left as it is; something else by its name is refused.
ResultadoArquivo CriarPastas(const std::string& pasta);

}  // namespace tvx::os
