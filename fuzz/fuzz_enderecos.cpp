// Address and label helpers fed text from outside: addresses typed or read
// from the configuration file, MAC addresses, the tagged text the meters
// send back, and reply buffers cleaned of control bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/utilitarios.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"

namespace {

using tvx::fuzz::Exigir;
using tvx::fuzz::Falha;

bool Espaco(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char Maiuscula(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void Ip(const std::string& texto) {
    const uint32_t ip = tvx::TextoParaIp(texto);
    // Whatever was read, its own texts must read back to it.
    Exigir(tvx::TextoParaIp(tvx::IpParaTexto(ip, true)) == ip, "compact address text differs");
    Exigir(tvx::TextoParaIp(tvx::IpParaTexto(ip, false)) == ip, "padded address text differs");
    const std::string padded = tvx::IpParaTexto(ip, false);
    Exigir(padded.size() == 15, "padded address text is not 15 characters");
    const std::string compacto = tvx::IpParaTexto(ip, true);
    Exigir(compacto.size() >= 7 && compacto.size() <= 15, "compact address text of a wrong length");
}

void Mac(const std::string& texto) {
    uint8_t mac[6];
    Exigir(tvx::TextoParaMac(texto, mac), "MAC reader reported failure");
    const std::string formatado = tvx::MacParaTexto(mac);
    Exigir(tvx::MacValido(formatado), "a formatted MAC address is not valid");
    uint8_t denovo[6];
    tvx::TextoParaMac(formatado, denovo);
    Exigir(std::memcmp(mac, denovo, 6) == 0, "formatted MAC address reads back differently");
    if (tvx::MacValido(texto)) {
        // A valid text is the formatted one in any case, with ':' or '-'.
        for (size_t i = 0; i < 17; ++i) {
            const char esperado = i % 3 == 2 ? ':' : Maiuscula(texto[i]);
            Exigir(formatado[i] == esperado, "valid MAC address read wrongly");
        }
    }
}

void Marcas(FuzzedDataProvider& f) {
    const std::string inicio = f.ConsumeRandomLengthString(16);
    const std::string fim = f.ConsumeRandomLengthString(4);
    const size_t tamanho = f.ConsumeIntegralInRange<size_t>(0, 400);
    const std::string texto = f.ConsumeRemainingBytesAsString();
    std::string destino = "old";
    const size_t n = tvx::TextoEntreMarcas(texto, inicio, fim, destino, tamanho);
    Exigir(n == destino.size(), "label value length and count differ");
    // What the reply text says between the first label and the next end mark.
    std::string esperado;
    const size_t p = texto.find(inicio);
    if (p != std::string::npos) {
        const size_t q = texto.find(fim, p + inicio.size());
        if (q != std::string::npos) {
            esperado = texto.substr(p + inicio.size(), q - p - inicio.size());
        }
    }
    if (esperado.size() >= tamanho) {
        esperado.clear();
    }
    Exigir(destino == esperado, "label value differs from the text between the marks");
}

void Controle(FuzzedDataProvider& f) {
    const std::string bruto = f.ConsumeRemainingBytesAsString();
    // Exactly the stated size, so the terminator must land inside it.
    auto buffer = std::make_unique<uint8_t[]>(bruto.size());
    std::memcpy(buffer.get(), bruto.data(), bruto.size());
    tvx::LimparControle(buffer.get(), bruto.size());
    for (size_t i = 0; i + 1 < bruto.size(); ++i) {
        const auto c = static_cast<uint8_t>(bruto[i]);
        const bool controle = c >= 0x01 && c <= 0x1F && c != 0x09 && c != 0x0A && c != 0x0D;
        Exigir(buffer[i] == (controle ? ' ' : c), "control byte cleaned wrongly");
    }
    if (!bruto.empty()) {
        Exigir(buffer[bruto.size() - 1] == 0, "no terminator in the last byte");
    }
}

void Aparar(const std::string& texto) {
    std::string t = texto;
    tvx::Aparar(t);
    Exigir(t.empty() || (!Espaco(t.front()) && !Espaco(t.back())), "blank left at an end");
    Exigir(texto.find(t) != std::string::npos, "trimmed text is not part of the text");
    for (char c : texto) {
        if (!Espaco(c)) {
            Exigir(!t.empty(), "trimming took more than the blanks");
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    switch (f.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            Ip(f.ConsumeRemainingBytesAsString());
            break;
        case 1:
            Mac(f.ConsumeRemainingBytesAsString());
            break;
        case 2:
            Marcas(f);
            break;
        case 3:
            Controle(f);
            break;
        default:
            Aparar(f.ConsumeRemainingBytesAsString());
            break;
    }
    return 0;
}
