#include "support/log_lido.h"

#include <fstream>
#include <regex>
#include <sstream>

#include "core/texto.h"

namespace tvx::teste {

std::string LerArquivo(const std::string& caminho) {
    std::ifstream f(caminho, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

LogLido LerLog(const std::string& bytes) {
    static const std::regex prefixo("^[0-9]{2}/[0-9]{2}/[0-9]{4}\t[0-9]{2}:[0-9]{2}:[0-9]{2}\t");
    LogLido lido;
    std::istringstream s(Cp1252ParaUtf8(bytes));
    for (std::string l; std::getline(s, l);) {
        if (l.empty() || l.back() != '\r') {
            lido.crlf = false;
        } else {
            l.pop_back();
        }
        if (std::regex_search(l, prefixo)) {
            ++lido.mensagens;
        }
        lido.texto += std::regex_replace(l, prefixo, "") + "\n";
    }
    return lido;
}

std::string ComoTerminal(const std::string& linha) {
    std::string saida;
    for (size_t i = 0; i < linha.size(); ++i) {
        if (linha[i] == '\r' && i + 1 < linha.size() && linha[i + 1] == '\n') {
            continue;
        }
        saida.push_back(linha[i]);
    }
    return saida + "\n";
}

}  // namespace tvx::teste
