#pragma once
// INI profile files as the Windows profile functions treat them: section and
// key names compared case-insensitively, a key replaced in place, a missing
// section or key appended, the file created on first write, defaults for what
// is missing, everything else kept byte for byte. Files are Windows-1252 with
// CRLF; files with LF ends or a UTF-8 byte-order mark still load. Values in
// and out of this layer are UTF-8.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "persistence/os/arquivos.h"

namespace tvx {

// A profile is a few kilobytes; a larger file is not one, and is not loaded.
inline constexpr size_t kTamanhoMaximoPerfil = 1024 * 1024;

class cPerfilIni {
  public:
    // A missing file loads as an empty profile (Ok). A file that is there but
    // could not be read (no permission, larger than kTamanhoMaximoPerfil, a
    // link, not a regular file) loads as an empty profile too, and says why.
    os::ResultadoArquivo Carregar(const std::string& caminho);
    // Writes beside the file, then renames over it, so a failed save never
    // leaves a truncated file (see os::SubstituirArquivo).
    os::ResultadoArquivo Salvar(const std::string& caminho) const;

    // The value as text, at most tamanhoBuffer - 1 characters, or padrao.
    std::string LerTexto(std::string_view secao, std::string_view chave, std::string_view padrao,
                         size_t tamanhoBuffer = 260) const;
    // Leading decimal digits of the value (0 when there are none), or padrao
    // when the key is missing.
    int LerInteiro(std::string_view secao, std::string_view chave, int padrao) const;
    void GravarTexto(std::string_view secao, std::string_view chave, std::string_view valor);

    // The file's lines without their ends, as they will be written (Windows-1252).
    const std::vector<std::string>& Linhas() const { return linhas_; }

  private:
    // Where each name lies, found in one pass over the lines when they are
    // loaded and kept up to date by every write, so that no read rescans the
    // file. Names are folded as the profile compares them.
    void Indexar();
    void IndexarLinha(size_t i);

    std::vector<std::string> linhas_;
    std::unordered_map<std::string, size_t> secoes_;  // first header of each name
    std::unordered_map<std::string, size_t> chaves_;  // section '\n' key -> first line
    std::string secaoFinal_;                          // the last header's name
    bool finalPrimeira_ = false;                      // ... which was its first
};

// One call, one open and close of the file, as the Windows functions do.
std::string LerTextoPerfil(const std::string& arquivo, std::string_view secao,
                           std::string_view chave, std::string_view padrao,
                           size_t tamanhoBuffer = 260);
int LerInteiroPerfil(const std::string& arquivo, std::string_view secao, std::string_view chave,
                     int padrao);
bool GravarTextoPerfil(const std::string& arquivo, std::string_view secao, std::string_view chave,
                       std::string_view valor);

}  // namespace tvx
