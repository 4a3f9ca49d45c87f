#include "plano/csv.h"

#include <csv.h>

#include "core/texto.h"

namespace tvx::plano {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool Utf8Valido(std::string_view texto) {
    size_t pos = 0;
    while (pos < texto.size()) {
        if (ProximoCaractereUtf8(texto, pos) == kCaractereInvalido) {
            return false;
        }
    }
    return true;
}

// The header decides: a spreadsheet saved with ';' (the Portuguese lists'
// separator) has one between its column names, one saved with ',' does not.
char SeparadorDoCabecalho(std::string_view texto) {
    const size_t fim = texto.find_first_of("\r\n");
    const std::string_view cabecalho = texto.substr(0, fim);
    return cabecalho.find(';') != std::string_view::npos ? ';' : ',';
}

// libcsv hands over fields and row ends; with every line break reported,
// a blank line is a row end without fields, and the LF of a CR LF pair a
// second one, which is not counted.
struct Leitura {
    TabelaCsv& tabela;
    LinhaCsv atual;
    size_t numero = 1;
    int terminador = 0;  // the character that ended the previous row

    static void Campo(void* dados, size_t tamanho, void* contexto) {
        auto* l = static_cast<Leitura*>(contexto);
        l->atual.campos.emplace_back(static_cast<const char*>(dados), tamanho);
    }
    static void FimDaLinha(int c, void* contexto) {
        auto* l = static_cast<Leitura*>(contexto);
        const bool parDoCr = c == '\n' && l->terminador == '\r' && l->atual.campos.empty();
        l->terminador = c;
        if (parDoCr) {
            return;
        }
        bool vazia = true;
        for (const std::string& campo : l->atual.campos) {
            vazia = vazia && campo.empty();
        }
        if (!vazia) {
            l->atual.numero = l->numero;
            l->tabela.linhas.push_back(std::move(l->atual));
        }
        l->atual = LinhaCsv{};
        ++l->numero;
    }
};

}  // namespace

bool LerCsv(std::string_view bytes, TabelaCsv& tabela, std::string& erro, Codificacao codificacao) {
    tabela = TabelaCsv{};
    std::string texto;
    if (bytes.substr(0, kBom.size()) == kBom) {
        bytes.remove_prefix(kBom.size());
        if (!Utf8Valido(bytes)) {
            erro = "o arquivo começa como UTF-8 mas tem bytes que não são UTF-8";
            return false;
        }
        texto = bytes;
    } else if (codificacao == Codificacao::Detectar && Utf8Valido(bytes)) {
        texto = bytes;
    } else {
        texto = Cp1252ParaUtf8(bytes);
    }
    if (texto.find('\0') != std::string::npos) {
        erro = "o arquivo tem bytes nulos (UTF-16?): salve a planilha como CSV";
        return false;
    }
    tabela.separador = SeparadorDoCabecalho(texto);

    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        erro = "sem memória para ler o arquivo";
        return false;
    }
    csv_set_delim(&parser, static_cast<unsigned char>(tabela.separador));
    Leitura leitura{tabela, {}};
    const size_t lidos = csv_parse(&parser, texto.data(), texto.size(), Leitura::Campo,
                                   Leitura::FimDaLinha, &leitura);
    bool ok = lidos == texto.size();
    if (ok && csv_fini(&parser, Leitura::Campo, Leitura::FimDaLinha, &leitura) != 0) {
        erro = "linha " + std::to_string(leitura.numero) +
               ": faltam as aspas que fecham o campo que começa nela";
        ok = false;
    } else if (!ok) {
        erro = "linha " + std::to_string(leitura.numero) +
               (csv_error(&parser) == CSV_EPARSE
                    ? ": aspas fora do lugar (um campo entre aspas termina nas aspas; aspas "
                      "dentro dele são escritas duas vezes)"
                    : ": sem memória para ler o arquivo");
    }
    csv_free(&parser);
    return ok;
}

std::string CampoCsv(std::string_view texto, char separador) {
    const bool aspas =
        texto.find_first_of(std::string{'"', '\r', '\n', separador}) != std::string_view::npos ||
        (!texto.empty() && (texto.front() == ' ' || texto.back() == ' ' || texto.front() == '\t' ||
                            texto.back() == '\t'));
    if (!aspas) {
        return std::string(texto);
    }
    std::string campo = "\"";
    for (char c : texto) {
        campo += c;
        if (c == '"') {
            campo += '"';
        }
    }
    return campo + '"';
}

}  // namespace tvx::plano
