#include "persistence/perfil_ini.h"

#include <cstdint>

#include "core/texto.h"
#include "persistence/os/arquivos.h"

namespace tvx {

namespace {

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBrancos = " \t\v\f\r";

std::string_view Aparado(std::string_view texto) {
    const size_t inicio = texto.find_first_not_of(kBrancos);
    if (inicio == std::string_view::npos) {
        return {};
    }
    const size_t fim = texto.find_last_not_of(kBrancos);
    return texto.substr(inicio, fim - inicio + 1);
}

char MinusculaAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class TipoLinha { Branca, Secao, Chave, Outra };

struct LinhaAnalisada {
    TipoLinha tipo = TipoLinha::Outra;
    std::string_view nome;   // section or key name, trimmed
    std::string_view valor;  // key value, trimmed
};

LinhaAnalisada Analisar(std::string_view linha) {
    LinhaAnalisada r;
    const std::string_view t = Aparado(linha);
    if (t.empty()) {
        r.tipo = TipoLinha::Branca;
        return r;
    }
    if (t.front() == '[') {
        const size_t fecha = t.find(']');
        if (fecha != std::string_view::npos) {
            r.tipo = TipoLinha::Secao;
            r.nome = Aparado(t.substr(1, fecha - 1));
        }
        // "[" without "]" is no header: the line stays where it is, inside
        // the section it appears in.
        return r;
    }
    if (t.front() == ';') {
        return r;  // comment
    }
    const size_t igual = t.find('=');
    if (igual == std::string_view::npos) {
        return r;
    }
    r.tipo = TipoLinha::Chave;
    r.nome = Aparado(t.substr(0, igual));
    r.valor = Aparado(t.substr(igual + 1));
    return r;
}

// A line break inside a name or value would split it into lines of their
// own and could plant sections or keys in the file; it becomes a space.
std::string SemQuebras(std::string texto) {
    for (char& c : texto) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return texto;
}

// The first n characters of a UTF-8 text (a broken byte counts as one).
std::string PrimeirosCaracteres(std::string_view texto, size_t n) {
    size_t contados = 0;
    for (size_t i = 0; i < texto.size(); ++i) {
        const auto b = static_cast<uint8_t>(texto[i]);
        if ((b & 0xC0) != 0x80) {
            if (contados == n) {
                return std::string(texto.substr(0, i));
            }
            ++contados;
        }
    }
    return std::string(texto);
}

// Only ASCII letters fold: Windows compares profile names that way whatever
// the code page, and an accented name must not match a different byte.
std::string Dobrado(std::string_view nome) {
    std::string dobrado(nome);
    for (char& c : dobrado) {
        c = MinusculaAscii(c);
    }
    return dobrado;
}

// No line holds a line feed, so it cannot occur inside either name.
std::string ChaveDoIndice(std::string_view secao, std::string_view chave) {
    std::string k;
    k.reserve(secao.size() + 1 + chave.size());
    k += secao;
    k += '\n';
    k += chave;
    return k;
}

}  // namespace

os::ResultadoArquivo cPerfilIni::Carregar(const std::string& caminho) {
    linhas_.clear();
    std::string conteudo;
    const os::ResultadoArquivo lido =
        os::LerArquivoInteiro(caminho, conteudo, kTamanhoMaximoPerfil);
    if (!lido.Ok()) {
        Indexar();
        // Nothing yet: the first write creates it.
        return lido.Inexistente() ? os::ResultadoArquivo{} : lido;
    }
    if (conteudo.starts_with(kBomUtf8)) {
        conteudo = Utf8ParaCp1252(std::string_view(conteudo).substr(kBomUtf8.size()));
    }
    size_t inicio = 0;
    while (inicio < conteudo.size()) {
        size_t fim = conteudo.find('\n', inicio);
        const bool ultima = fim == std::string::npos;
        if (ultima) {
            fim = conteudo.size();
        }
        size_t corte = fim;
        if (!ultima && corte > inicio && conteudo[corte - 1] == '\r') {
            --corte;
        }
        linhas_.emplace_back(conteudo, inicio, corte - inicio);
        inicio = fim + 1;
    }
    Indexar();
    return lido;
}

void cPerfilIni::Indexar() {
    secoes_.clear();
    chaves_.clear();
    secaoFinal_.clear();
    finalPrimeira_ = false;
    for (size_t i = 0; i < linhas_.size(); ++i) {
        IndexarLinha(i);
    }
}

// One line in file order: only the first section of a name counts, and in
// it only the first line of a key.
void cPerfilIni::IndexarLinha(size_t i) {
    const LinhaAnalisada a = Analisar(linhas_[i]);
    if (a.tipo == TipoLinha::Secao) {
        secaoFinal_ = Dobrado(a.nome);
        finalPrimeira_ = secoes_.emplace(secaoFinal_, i).second;
    } else if (a.tipo == TipoLinha::Chave && finalPrimeira_) {
        chaves_.emplace(ChaveDoIndice(secaoFinal_, Dobrado(a.nome)), i);
    }
}

os::ResultadoArquivo cPerfilIni::Salvar(const std::string& caminho) const {
    std::string conteudo;
    size_t total = 0;
    for (const std::string& linha : linhas_) {
        total += linha.size() + 2;
    }
    conteudo.reserve(total);
    for (const std::string& linha : linhas_) {
        conteudo += linha;
        conteudo += "\r\n";
    }
    return os::SubstituirArquivo(caminho, conteudo);
}

std::string cPerfilIni::LerTexto(std::string_view secao, std::string_view chave,
                                 std::string_view padrao, size_t tamanhoBuffer) const {
    if (tamanhoBuffer == 0) {
        return {};
    }
    const size_t maximo = tamanhoBuffer - 1;
    const auto achada =
        chaves_.find(ChaveDoIndice(Dobrado(Utf8ParaCp1252(secao)), Dobrado(Utf8ParaCp1252(chave))));
    if (achada != chaves_.end()) {
        std::string_view valor = Analisar(linhas_[achada->second]).valor;
        if (valor.size() >= 2 && valor.front() == '"' && valor.back() == '"') {
            valor = valor.substr(1, valor.size() - 2);
        }
        return Cp1252ParaUtf8(valor.substr(0, maximo));
    }
    // Windows drops the default's trailing blanks before handing it back.
    std::string_view p = padrao;
    while (!p.empty() && (p.back() == ' ' || p.back() == '\t')) {
        p.remove_suffix(1);
    }
    return PrimeirosCaracteres(p, maximo);
}

int cPerfilIni::LerInteiro(std::string_view secao, std::string_view chave, int padrao) const {
    const std::string texto = LerTexto(secao, chave, "");
    if (texto.empty()) {
        return padrao;  // an empty value counts as missing, as on Windows
    }
    size_t i = 0;
    while (i < texto.size() && (texto[i] == ' ' || texto[i] == '\t')) {
        ++i;
    }
    bool negativo = false;
    if (i < texto.size() && (texto[i] == '-' || texto[i] == '+')) {
        negativo = texto[i] == '-';
        ++i;
    }
    // Wraps modulo 2^32 on overflow like the Windows conversion; unsigned
    // arithmetic keeps that well defined.
    uint32_t valor = 0;
    for (; i < texto.size() && texto[i] >= '0' && texto[i] <= '9'; ++i) {
        valor = valor * 10u + static_cast<uint32_t>(texto[i] - '0');
    }
    if (negativo) {
        valor = 0u - valor;
    }
    return static_cast<int>(valor);
}

void cPerfilIni::GravarTexto(std::string_view secao, std::string_view chave,
                             std::string_view valor) {
    const std::string secaoCp = SemQuebras(Utf8ParaCp1252(secao));
    const std::string chaveCp = SemQuebras(Utf8ParaCp1252(chave));
    const std::string valorCp = SemQuebras(Utf8ParaCp1252(valor));

    const auto cabecalho = secoes_.find(Dobrado(secaoCp));
    if (cabecalho == secoes_.end()) {
        linhas_.push_back("[" + secaoCp + "]");
        IndexarLinha(linhas_.size() - 1);
        linhas_.push_back(chaveCp + "=" + valorCp);
        IndexarLinha(linhas_.size() - 1);
        return;
    }
    const auto existente = chaves_.find(ChaveDoIndice(cabecalho->first, Dobrado(chaveCp)));
    if (existente != chaves_.end()) {
        std::string& linha = linhas_[existente->second];
        linha = std::string(Analisar(linha).nome) + "=" + valorCp;
        return;
    }
    // New keys go after the section's last non-blank line, so the blank
    // lines that separate it from the next section stay between them.
    size_t ultimaOcupada = cabecalho->second;
    for (size_t i = cabecalho->second + 1; i < linhas_.size(); ++i) {
        const TipoLinha tipo = Analisar(linhas_[i]).tipo;
        if (tipo == TipoLinha::Secao) {
            break;
        }
        if (tipo != TipoLinha::Branca) {
            ultimaOcupada = i;
        }
    }
    const size_t nova = ultimaOcupada + 1;
    linhas_.insert(linhas_.begin() + static_cast<std::ptrdiff_t>(nova), chaveCp + "=" + valorCp);
    if (Analisar(linhas_[nova]).tipo == TipoLinha::Secao) {
        Indexar();  // a key that reads as a header ("[x]") splits the section
        return;
    }
    for (auto* indice : {&secoes_, &chaves_}) {
        for (auto& [nome, linha] : *indice) {
            if (linha >= nova) {
                ++linha;
            }
        }
    }
    const LinhaAnalisada a = Analisar(linhas_[nova]);
    if (a.tipo == TipoLinha::Chave) {
        // An earlier line of the same key, if any, stays the one that counts.
        chaves_.emplace(ChaveDoIndice(cabecalho->first, Dobrado(a.nome)), nova);
    }
}

std::string LerTextoPerfil(const std::string& arquivo, std::string_view secao,
                           std::string_view chave, std::string_view padrao, size_t tamanhoBuffer) {
    cPerfilIni perfil;
    perfil.Carregar(arquivo);
    return perfil.LerTexto(secao, chave, padrao, tamanhoBuffer);
}

int LerInteiroPerfil(const std::string& arquivo, std::string_view secao, std::string_view chave,
                     int padrao) {
    cPerfilIni perfil;
    perfil.Carregar(arquivo);
    return perfil.LerInteiro(secao, chave, padrao);
}

bool GravarTextoPerfil(const std::string& arquivo, std::string_view secao, std::string_view chave,
                       std::string_view valor) {
    cPerfilIni perfil;
    // A file that exists but cannot be read is not replaced by one that
    // holds only this key.
    if (!perfil.Carregar(arquivo)) {
        return false;
    }
    perfil.GravarTexto(secao, chave, valor);
    return perfil.Salvar(arquivo).Ok();
}

}  // namespace tvx
