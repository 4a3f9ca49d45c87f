#include "transport/rastro.h"

#include <ctime>
#include <memory>
#include <mutex>

namespace tvx {

namespace {

constexpr size_t kBytesPorLinha = 16;
constexpr char kHex[] = "0123456789abcdef";

std::mutex gMutex;
SaidaRastro gSaida;

// Digits without the printf family: the trace must not follow the locale.
void Numero(std::string& texto, long valor, int digitos) {
    std::string n(static_cast<size_t>(digitos), '0');
    for (int i = digitos - 1; i >= 0 && valor > 0; --i, valor /= 10) {
        n[static_cast<size_t>(i)] = static_cast<char>('0' + valor % 10);
    }
    texto += n;
}

}  // namespace

std::string TextoQuadroRastro(std::chrono::system_clock::time_point quando, std::string_view meio,
                              std::string_view par, DirecaoRastro direcao, const uint8_t* bytes,
                              size_t tamanho, bool enviado) {
    const std::time_t segundos = std::chrono::system_clock::to_time_t(quando);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(quando.time_since_epoch()) % 1000;
    std::tm t{};
    localtime_r(&segundos, &t);
    std::string texto;
    Numero(texto, t.tm_year + 1900, 4);
    texto += '-';
    Numero(texto, t.tm_mon + 1, 2);
    texto += '-';
    Numero(texto, t.tm_mday, 2);
    texto += ' ';
    Numero(texto, t.tm_hour, 2);
    texto += ':';
    Numero(texto, t.tm_min, 2);
    texto += ':';
    Numero(texto, t.tm_sec, 2);
    texto += '.';
    Numero(texto, static_cast<long>(ms.count()), 3);
    texto += ' ';
    texto += meio;
    texto += ' ';
    texto += par;
    texto += direcao == DirecaoRastro::Enviado ? " >> " : " << ";
    texto += std::to_string(tamanho) + " bytes";
    if (!enviado) {
        texto += " (não enviado)";
    }
    texto += '\n';
    for (size_t linha = 0; linha < tamanho; linha += kBytesPorLinha) {
        texto += "  ";
        for (int d = 3; d >= 0; --d) {
            texto += kHex[(linha >> (4 * d)) & 0xF];
        }
        texto += "  ";
        std::string imprimivel;
        for (size_t i = linha; i < linha + kBytesPorLinha; ++i) {
            if (i < tamanho) {
                texto += kHex[bytes[i] >> 4];
                texto += kHex[bytes[i] & 0xF];
                texto += ' ';
                imprimivel +=
                    bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
            } else {
                texto += "   ";
            }
        }
        texto += " |" + imprimivel + "|\n";
    }
    return texto;
}

void DefinirSaidaRastro(SaidaRastro saida) {
    std::lock_guard<std::mutex> trava(gMutex);
    gSaida = std::move(saida);
}

bool RastroLigado() {
    std::lock_guard<std::mutex> trava(gMutex);
    return static_cast<bool>(gSaida);
}

void RastrearQuadro(std::string_view meio, std::string_view par, DirecaoRastro direcao,
                    const uint8_t* bytes, size_t tamanho, bool enviado) {
    std::lock_guard<std::mutex> trava(gMutex);
    if (!gSaida) {
        return;
    }
    gSaida(TextoQuadroRastro(std::chrono::system_clock::now(), meio, par, direcao, bytes, tamanho,
                             enviado));
}

}  // namespace tvx
