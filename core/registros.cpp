#include "core/registros.h"

#include <algorithm>
#include <cstring>

#include "core/texto.h"

namespace tvx {

void EscreverTag(uint8_t* destino, const char* tag) {
    std::memcpy(destino, tag, kTamanhoTag);
}

uint32_t LerIpRegistro(const uint8_t* registro, size_t offset) {
    const uint8_t* p = registro + offset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void EscreverIpRegistro(uint8_t* registro, size_t offset, uint32_t ip) {
    uint8_t* p = registro + offset;
    p[0] = static_cast<uint8_t>(ip);
    p[1] = static_cast<uint8_t>(ip >> 8);
    p[2] = static_cast<uint8_t>(ip >> 16);
    p[3] = static_cast<uint8_t>(ip >> 24);
}

uint16_t LerU16Le(const uint8_t* origem) {
    return static_cast<uint16_t>(origem[0] | origem[1] << 8);
}

void EscreverU16Le(uint8_t* destino, uint16_t valor) {
    destino[0] = static_cast<uint8_t>(valor);
    destino[1] = static_cast<uint8_t>(valor >> 8);
}

std::string TextoDoCampo(const uint8_t* campo, size_t tamanho) {
    const uint8_t* fim = std::find(campo, campo + tamanho, 0);
    return Latin1ParaUtf8(
        std::string_view(reinterpret_cast<const char*>(campo), static_cast<size_t>(fim - campo)));
}

void GravarTextoNoCampo(uint8_t* campo, size_t tamanho, std::string_view texto, size_t maximo) {
    std::memset(campo, 0, tamanho);
    const std::string bytes = Utf8ParaLatin1(texto);
    // The field ends at its first zero byte; nothing after one may reach the
    // device hidden in the padding.
    const size_t n = std::min({bytes.find('\0'), bytes.size(), maximo, tamanho});
    std::memcpy(campo, bytes.data(), n);
}

}  // namespace tvx
