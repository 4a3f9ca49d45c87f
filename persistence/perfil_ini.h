#pragma once
// INI profile files as the Windows profile functions treat them: section and
// key names compared case-insensitively, a key replaced in place, a missing
// section or key appended, the file created on first write, defaults for what
// is missing, everything else kept byte for byte. Files are Windows-1252 with
// CRLF; files with LF ends or a UTF-8 byte-order mark still load. Values in
// and out of this layer are UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

class cPerfilIni {
public:
    // A missing or unreadable file loads as an empty profile.
    bool Carregar(const std::string& caminho);
    // Writes beside the file, then renames over it, so a failed save never
    // leaves a truncated file. False when it could not be written.
    bool Salvar(const std::string& caminho) const;

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
    std::vector<std::string> linhas_;
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
