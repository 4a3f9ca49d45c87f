// The family-21 equipment's register replies: an arbitrary Modbus TCP reply of
// any length, laid into the channel's 2048-byte receive buffer over an
// earlier reply's bytes (nothing past what arrived may count), checked as the
// channel checks a reply to a read and to a write, then taken as the
// programming block (registers 1280..1283) and as the measurement block
// (1024..1037).
// Input: the reply bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "core/texto.h"
#include "core/utilitarios.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "protocols/registros_medicao.h"
#include "transport/canal.h"
#include "transport/codec.h"

namespace {

using tvx::fuzz::Exigir;
using tvx::fuzz::Falha;

using namespace tvx::protocolos;
using tvx::kFuncaoModbusTcp;
using tvx::kInicioDadosModbusTcp;
using tvx::kTamanhoBufferCanal;

size_t Contar(const std::string& texto, const std::string& parte) {
    size_t n = 0;
    for (size_t p = texto.find(parte); p != std::string::npos; p = texto.find(parte, p + 1)) {
        ++n;
    }
    return n;
}

bool Utf8Valido(const std::string& texto) {
    for (size_t pos = 0; pos < texto.size();) {
        if (tvx::ProximoCaractereUtf8(texto, pos) == tvx::kCaractereInvalido) {
            return false;
        }
    }
    return true;
}

void ConferirProgramacao(const uint8_t* dados) {
    const ProgramacaoAtiva p = DecodificarProgramacao(dados);
    const std::string texto = TextoProgramacao(p);
    Exigir(Utf8Valido(texto), "programming text is not UTF-8");
    Exigir(texto.rfind("\r\nProgramação ativa:\r\n", 0) == 0, "programming text header");
    Exigir(Contar(texto, ":Ativa em:") == 16, "not 16 input lines");
    Exigir(Contar(texto, "Saída ") == 4, "not 4 output lines");
    const size_t ip = texto.rfind("IP:");
    Exigir(ip != std::string::npos && tvx::TextoParaIp(texto.substr(ip + 3)) == p.ip,
           "the address shown does not read back as the one decoded");
}

void ConferirMedicoes(const uint8_t* dados) {
    const std::string texto = TextoMedicoes(dados);
    Exigir(Utf8Valido(texto), "measurement text is not UTF-8");
    Exigir(texto.rfind("\r\nMedição:\r\n", 0) == 0, "measurement text header");
    Exigir(Contar(texto, "\r\n") == 9, "not 7 measurement lines");
    // Any bit pattern is a float the text must show whole: 3 decimals each.
    Exigir(Contar(texto, ".") >= 5 || texto.find("nan") != std::string::npos ||
               texto.find("inf") != std::string::npos,
           "measurement without decimals");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    // Exactly the channel's buffer, on the heap: a read past it is a report.
    auto buffer = std::make_unique<uint8_t[]>(kTamanhoBufferCanal);
    const int recebidos = static_cast<int>(std::min<size_t>(tamanho, kTamanhoBufferCanal));
    std::memset(buffer.get(), 0xA5, kTamanhoBufferCanal);
    if (recebidos > 0) {
        std::memcpy(buffer.get(), dados, static_cast<size_t>(recebidos));
    }
    // The requests the family-21 routines send: a read of 1280..1283 and a
    // write of 1282; what passes for their answer has the function and the
    // fields of that answer.
    static constexpr uint8_t kLeitura[] = {0, 0, 0, 0, 0, 6, 1, 3, 5, 0, 0, 4};
    static constexpr uint8_t kEscrita[] = {0, 0, 0, 0, 0, 9, 1, 0x10, 5, 2, 0, 1, 2, 10, 0};
    for (const auto& [pedido, minimo] :
         {std::pair{kLeitura, kInicioDadosModbusTcp}, std::pair{kEscrita, 12}}) {
        if (tvx::RespostaModbusTcpAceita(pedido, buffer.get(), recebidos)) {
            Exigir(recebidos >= minimo, "a cut reply taken as an answer");
            Exigir(buffer[kFuncaoModbusTcp] == pedido[kFuncaoModbusTcp],
                   "a reply of another function taken as an answer");
        }
    }
    for (const int bloco : {kBytesProgramacao, kBytesMedicoes}) {
        const bool completo = BlocoRegistrosCompleto(buffer.get(), recebidos, bloco);
        if (!completo) {
            continue;
        }
        Exigir(recebidos >= kInicioDadosModbusTcp + bloco, "block taken from a short reply");
        Exigir(buffer[kInicioDadosModbusTcp - 1] >= bloco, "block taken past its byte count");
        // The data the run copies out: exactly the block, on the heap.
        auto copia = std::make_unique<uint8_t[]>(static_cast<size_t>(bloco));
        std::memcpy(copia.get(), buffer.get() + kInicioDadosModbusTcp, static_cast<size_t>(bloco));
        if (bloco == kBytesProgramacao) {
            ConferirProgramacao(copia.get());
        } else {
            ConferirMedicoes(copia.get());
        }
    }
    return 0;
}
