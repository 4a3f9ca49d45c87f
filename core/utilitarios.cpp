#include "core/utilitarios.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>

#include "core/os/auxiliar_rede.h"
#include "core/os/rede_os.h"

namespace tvx {

namespace {

// isspace() of the C locale, whatever locale the process has switched to.
bool EspacoC(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool DigitoDecimal(char c) {
    return c >= '0' && c <= '9';
}

int ValorHex(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

const char kDigitosHex[] = "0123456789ABCDEF";

void AcrescentarDecimal(std::string& destino, unsigned valor, int largura) {
    std::array<char, 8> digitos{};
    int n = 0;
    do {
        digitos[n++] = static_cast<char>('0' + valor % 10);
        valor /= 10;
    } while (valor != 0 && n < static_cast<int>(digitos.size()));
    for (int i = n; i < largura; ++i) {
        destino.push_back('0');
    }
    while (n > 0) {
        destino.push_back(digitos[--n]);
    }
}

thread_local long ultimoErroPing = 0;

}  // namespace

uint32_t TextoParaIp(std::string_view texto) {
    // Reads like "%hu.%hu.%hu.%hu": white space before a number is skipped, a
    // '+' sign is allowed, the first field that is not a number ends the
    // reading and leaves the rest at 0. Unlike an unsigned short, a large
    // number never wraps round to a small one: everything above 255 is 255.
    // A minus sign is not a number here (wrapping -1 to 255 helps nobody).
    uint32_t octetos[4] = {0, 0, 0, 0};
    size_t pos = 0;
    for (int campo = 0; campo < 4; ++campo) {
        if (campo > 0) {
            if (pos >= texto.size() || texto[pos] != '.') {
                break;
            }
            ++pos;
        }
        while (pos < texto.size() && EspacoC(texto[pos])) {
            ++pos;
        }
        if (pos < texto.size() && texto[pos] == '+') {
            ++pos;
        }
        if (pos >= texto.size() || !DigitoDecimal(texto[pos])) {
            break;
        }
        uint32_t valor = 0;
        while (pos < texto.size() && DigitoDecimal(texto[pos])) {
            valor = std::min<uint32_t>(valor * 10 + static_cast<uint32_t>(texto[pos] - '0'), 256);
            ++pos;
        }
        octetos[campo] = std::min<uint32_t>(valor, 255);
    }
    return octetos[0] | (octetos[1] << 8) | (octetos[2] << 16) | (octetos[3] << 24);
}

std::string IpParaTexto(uint32_t ip, bool compacto) {
    std::string texto;
    texto.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            texto.push_back('.');
        }
        AcrescentarDecimal(texto, (ip >> (8 * i)) & 0xFF, compacto ? 1 : 3);
    }
    return texto;
}

std::string MacParaTexto(const uint8_t mac[6]) {
    std::string texto;
    texto.reserve(17);
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            texto.push_back(':');
        }
        texto.push_back(kDigitosHex[mac[i] >> 4]);
        texto.push_back(kDigitosHex[mac[i] & 0x0F]);
    }
    return texto;
}

bool TextoParaMac(std::string_view texto, uint8_t destino[6]) {
    // Reads like "%2X%*1c%2X%*1c...": white space before a group is skipped,
    // a group is one or two hex digits, then any one character separates it
    // from the next. The first group that cannot be read ends the reading.
    std::fill(destino, destino + 6, uint8_t{0});
    size_t pos = 0;
    for (int grupo = 0; grupo < 6; ++grupo) {
        if (grupo > 0) {
            if (pos >= texto.size()) {
                break;
            }
            ++pos;
        }
        while (pos < texto.size() && EspacoC(texto[pos])) {
            ++pos;
        }
        int valor = 0;
        int digitos = 0;
        while (digitos < 2 && pos < texto.size() && ValorHex(texto[pos]) >= 0) {
            valor = valor * 16 + ValorHex(texto[pos]);
            ++pos;
            ++digitos;
        }
        if (digitos == 0) {
            break;
        }
        destino[grupo] = static_cast<uint8_t>(valor);
    }
    return true;
}

bool MacValido(std::string_view texto) {
    if (texto.size() != 17) {
        return false;
    }
    for (size_t i = 0; i < texto.size(); ++i) {
        if (i % 3 == 2) {
            if (texto[i] != ':' && texto[i] != '-') {
                return false;
            }
        } else if (ValorHex(texto[i]) < 0) {
            return false;
        }
    }
    return true;
}

size_t TextoEntreMarcas(std::string_view texto, std::string_view inicio, std::string_view fim,
                        std::string& destino, size_t tamanho) {
    destino.clear();
    const size_t posInicio = texto.find(inicio);
    if (posInicio == std::string_view::npos) {
        return 0;
    }
    const size_t comeco = posInicio + inicio.size();
    const size_t posFim = texto.find(fim, comeco);
    if (posFim == std::string_view::npos) {
        return 0;
    }
    const size_t comprimento = posFim - comeco;
    // The value and its terminator must fit the destination of the reply
    // field; a value that would not fit is treated as not found.
    if (comprimento == 0 || comprimento >= tamanho) {
        return 0;
    }
    destino.assign(texto.substr(comeco, comprimento));
    return comprimento;
}

std::string& AparaEsquerda(std::string& texto) {
    size_t n = 0;
    while (n < texto.size() && EspacoC(texto[n])) {
        ++n;
    }
    texto.erase(0, n);
    return texto;
}

std::string& AparaDireita(std::string& texto) {
    size_t n = texto.size();
    while (n > 0 && EspacoC(texto[n - 1])) {
        --n;
    }
    texto.resize(n);
    return texto;
}

std::string& Aparar(std::string& texto) {
    return AparaDireita(AparaEsquerda(texto));
}

void LimparControle(uint8_t* buffer, size_t tamanho) {
    // A buffer of no bytes has no room for the terminator either.
    if (buffer == nullptr || tamanho == 0) {
        return;
    }
    for (size_t i = 0; i + 1 < tamanho; ++i) {
        const uint8_t c = buffer[i];
        if (c >= 0x01 && c <= 0x1F && c != 0x09 && c != 0x0A && c != 0x0D) {
            buffer[i] = ' ';
        }
    }
    buffer[tamanho - 1] = 0;
}

uint16_t AnoDoisDigitos(uint16_t ano) {
    return static_cast<uint16_t>(ano % 100);
}

void LerRelogio(uint8_t& dia, uint8_t& mes, uint16_t& ano, uint8_t& hora, uint8_t& minuto,
                uint8_t& segundo) {
    const Relogio agora = LerRelogio();
    dia = agora.dia;
    mes = agora.mes;
    ano = agora.ano;
    hora = agora.hora;
    minuto = agora.minuto;
    segundo = agora.segundo;
}

Relogio LerRelogio() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    Relogio relogio;
    if (localtime_r(&t, &local) == nullptr) {
        return relogio;
    }
    relogio.dia = static_cast<uint8_t>(local.tm_mday);
    relogio.mes = static_cast<uint8_t>(local.tm_mon + 1);
    relogio.ano = static_cast<uint16_t>(local.tm_year + 1900);
    relogio.hora = static_cast<uint8_t>(local.tm_hour);
    relogio.minuto = static_cast<uint8_t>(local.tm_min);
    // A leap second would read 60; the equipment knows 0..59.
    relogio.segundo = static_cast<uint8_t>(std::min(local.tm_sec, 59));
    return relogio;
}

void RelogioSeisBytes(const Relogio& relogio, uint8_t destino[6]) {
    destino[0] = relogio.dia;
    destino[1] = relogio.mes;
    destino[2] = static_cast<uint8_t>(AnoDoisDigitos(relogio.ano));
    destino[3] = relogio.hora;
    destino[4] = relogio.minuto;
    destino[5] = relogio.segundo;
}

bool RelogioSeisBytes(uint8_t destino[6]) {
    RelogioSeisBytes(LerRelogio(), destino);
    return true;
}

bool Pingar(uint32_t destino, RespostaEco& resposta, uint16_t tamanhoDados,
            uint32_t tempoLimiteMs) {
    long erro = 0;
    bool semSocket = false;
    bool ok = os::EcoIcmp(destino, tamanhoDados, tempoLimiteMs, os::ModoIcmp::Automatico, resposta,
                          erro, &semSocket);
    // Where this user's group may not open ICMP datagram sockets and the
    // program has no CAP_NET_RAW, the capable helper sends the echo. Without
    // it the series reports the failure of the direct call, as before.
    if (!ok && semSocket &&
        os::EcoPeloAuxiliar(destino, tamanhoDados, tempoLimiteMs, resposta, erro)) {
        ok = erro == 0;
    }
    ultimoErroPing = ok ? 0 : erro;
    return ok;
}

long UltimoErroPing() {
    return ultimoErroPing;
}

bool RemoverArp(std::string_view ip) {
    uint32_t endereco = 0;
    if (!os::TextoIpEstrito(ip, endereco)) {
        return false;
    }
    int codigo = os::ApagarVizinhoNasSubredes(endereco);
    if (codigo == EPERM) {
        (void)os::ApagarArpPeloAuxiliar(endereco, codigo);
    }
    return codigo == 0;
}

int TabelaEnderecos(std::vector<LinhaEndereco>& tabela) {
    return os::LerEnderecos(tabela);
}

bool NumeroEstrito(std::string_view texto, uint32_t maximo, uint32_t& valor) {
    if (texto.empty() || texto.size() > 10) {
        return false;
    }
    uint64_t n = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') {
            return false;
        }
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n > maximo) {
        return false;
    }
    valor = static_cast<uint32_t>(n);
    return true;
}

}  // namespace tvx
