#include "support/log_lido.h"

#include <fstream>
#include <sstream>

#include "core/texto.h"

namespace tvx::teste {

std::string LerArquivo(const std::string& caminho) {
    std::ifstream f(caminho, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

namespace {

// "dd/mm/yyyy<TAB>hh:mm:ss<TAB>" in front of every message. Checked by hand:
// several runs read their logs at once, and std::regex races inside
// libstdc++'s locale cache when used on several threads.
constexpr const char* kFormaPrefixo = "00/00/0000\t00:00:00\t";
constexpr size_t kTamanhoPrefixo = 20;

bool TemPrefixo(const std::string& linha) {
    if (linha.size() < kTamanhoPrefixo) {
        return false;
    }
    for (size_t i = 0; i < kTamanhoPrefixo; ++i) {
        const bool digito = linha[i] >= '0' && linha[i] <= '9';
        if (kFormaPrefixo[i] == '0' ? !digito : linha[i] != kFormaPrefixo[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

LogLido LerLog(const std::string& bytes) {
    LogLido lido;
    std::istringstream s(Cp1252ParaUtf8(bytes));
    for (std::string l; std::getline(s, l);) {
        if (l.empty() || l.back() != '\r') {
            lido.crlf = false;
        } else {
            l.pop_back();
        }
        if (TemPrefixo(l)) {
            ++lido.mensagens;
            l.erase(0, kTamanhoPrefixo);
        } else if (l.starts_with("\t\t")) {
            l.erase(0, 2);  // a message's later line, under its text
        }
        lido.texto += l + "\n";
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
