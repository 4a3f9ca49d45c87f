#include "persistence/log.h"

#include <cstdio>

#include "core/texto.h"
#include "persistence/locais.h"
#include "persistence/os/arquivos.h"

namespace tvx {

namespace {

// Backups that fall in a second that already has one; past this many the
// log simply keeps growing rather than losing a line.
constexpr int kMaximoSufixos = 999;

std::string Carimbo(const char* formato, const Relogio& r) {
    char texto[96];
    std::snprintf(texto, sizeof texto, formato, static_cast<int>(r.dia), static_cast<int>(r.mes),
                  static_cast<int>(r.ano), static_cast<int>(r.hora), static_cast<int>(r.minuto),
                  static_cast<int>(r.segundo));
    return texto;
}

// Where a message goes on to another line, that line begins with the two
// empty columns of the date and the time: every line of the file starts
// with a date or a tab, never with text, so that nothing a message carries
// (a device's reply above all) can pass for a line of its own.
constexpr std::string_view kContinuacao = "\r\n\t\t";

// The file's bytes for one message: Windows-1252, each line break (CR LF, a
// bare LF or a lone CR) as kContinuacao, nothing after a NUL (as "%s" stops
// there).
std::string TextoDoArquivo(const std::string& texto) {
    const std::string cp = Utf8ParaCp1252(std::string_view(texto.c_str()));
    std::string saida;
    saida.reserve(cp.size() + 8);
    for (size_t i = 0; i < cp.size(); ++i) {
        if (cp[i] == '\r' || cp[i] == '\n') {
            if (cp[i] == '\r' && i + 1 < cp.size() && cp[i + 1] == '\n') {
                ++i;
            }
            saida += kContinuacao;
            continue;
        }
        saida += cp[i];
    }
    return saida;
}

// Moves a full log aside under the time-stamped name, beside the log. A
// name already taken (two rotations in one second) gets "-2", "-3", ...
// before the underscore, e.g. "05122026-140309-2_tvxnetcfg.log"; an existing
// backup is never overwritten. When no backup can be made the log stays
// where it is and keeps growing, so no line is lost.
void Rotacionar(const std::string& arquivo, const Relogio& r) {
    const size_t barra = arquivo.find_last_of('/');
    const std::string pasta = barra == std::string::npos ? "" : arquivo.substr(0, barra + 1);
    const std::string nome = barra == std::string::npos ? arquivo : arquivo.substr(barra + 1);
    const std::string carimbo = Carimbo("%02d%02d%04d-%02d%02d%02d", r);

    for (int n = 1; n <= kMaximoSufixos; ++n) {
        std::string sufixo;
        if (n > 1) {
            sufixo = '-';
            sufixo += std::to_string(n);
        }
        const std::string copia = pasta + carimbo + sufixo + "_" + nome;
        switch (os::RenomearSemSubstituir(arquivo, copia)) {
            case os::ResultadoRenomear::Feito:
            case os::ResultadoRenomear::Falhou:
                return;
            case os::ResultadoRenomear::DestinoExiste:
                break;
        }
    }
}

}  // namespace

cLog::cLog() : arquivo_("cLog.log") {}

void cLog::DefinirArquivo(const std::string& arquivo) {
    arquivo_ = arquivo;
}

os::ResultadoArquivo cLog::Verificar() const {
    if (arquivo_.empty()) {
        return {};
    }
    long long tamanho = 0;
    const os::ResultadoArquivo r = os::TamanhoArquivo(arquivo_, tamanho);
    return r.Inexistente() ? os::ResultadoArquivo{} : r;
}

os::ResultadoArquivo cLog::Escrever(const std::string& texto) {
    if (arquivo_.empty()) {
        return {};
    }
    // One reading for the line and for the backup name.
    const Relogio agora = relogio ? relogio() : LerRelogio();
    // The name is measured without following a link (a link is refused), so
    // what is renamed is the very file that was measured.
    long long tamanho = 0;
    const os::ResultadoArquivo medido = os::TamanhoArquivo(arquivo_, tamanho);
    if (!medido.Ok() && !medido.Inexistente()) {
        return medido;
    }
    if (medido.Inexistente()) {
        if (const os::ResultadoArquivo pasta = PrepararPasta(arquivo_); !pasta.Ok()) {
            return pasta;
        }
    }
    if (tamanho >= kLimiteLog) {
        Rotacionar(arquivo_, agora);
    }
    const std::string linha =
        Carimbo("%02d/%02d/%04d\t%02d:%02d:%02d\t", agora) + TextoDoArquivo(texto) + "\r\n";
    return os::AnexarArquivo(arquivo_, linha);
}

std::string TextoFalhaLog(const std::string& arquivo, const os::ResultadoArquivo& resultado) {
    return "não foi possível escrever no log \"" + arquivo + "\": " + os::MotivoFalha(resultado);
}

}  // namespace tvx
