// The Modbus RTU reply checker, fed one byte at a time as the serial reader
// feeds it. Input: the 8 bytes of the request the reply answers, then the
// bytes on the line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "transport/codec.h"

namespace {

using tvx::fuzz::Falha;

// Kept apart from the codec's own, so that an agreement means something.
uint16_t CrcModbusReferencia(const uint8_t* dados, size_t tamanho) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < tamanho; ++i) {
        crc ^= dados[i];
        for (int b = 0; b < 8; ++b) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

bool StatusConhecido(uint8_t status) {
    switch (status) {
        case tvx::kModbusOk:
        case tvx::kModbusUnidadeErrada:
        case tvx::kModbusFuncaoErrada:
        case tvx::kModbusContagemExcessiva:
        case tvx::kModbusCrc:
        case tvx::kModbusRegistroErrado:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    constexpr size_t kTamanhoRequisicao = 8;
    if (tamanho < kTamanhoRequisicao) {
        return 0;
    }
    // Exactly the documented minimum, on the heap: one byte past it is a report.
    auto requisicao = std::make_unique<uint8_t[]>(kTamanhoRequisicao);
    std::memcpy(requisicao.get(), dados, kTamanhoRequisicao);
    auto resposta = std::make_unique<uint8_t[]>(tvx::kTamanhoMinimoRespostaModbus);
    std::memset(resposta.get(), 0, tvx::kTamanhoMinimoRespostaModbus);

    const uint8_t* linha = dados + kTamanhoRequisicao;
    const size_t bytesNaLinha = tamanho - kTamanhoRequisicao;
    uint16_t estado = 0;
    uint8_t contador = 0;
    uint8_t status = 0;
    size_t consumidos = 0;
    int r = tvx::kAnaliseProximoByte;
    while (consumidos < bytesNaLinha && r == tvx::kAnaliseProximoByte) {
        r = tvx::AnalisarRespostaModbus(requisicao.get(), resposta.get(), estado, linha[consumidos],
                                        contador, status);
        ++consumidos;
        if (r != tvx::kAnaliseProximoByte && r != tvx::kAnaliseFim) {
            Falha("result is neither 'next byte' nor 'end'");
        }
        // The longest reply the checker follows is unit, function, count,
        // 252 data bytes and the CRC: 257 bytes. Asking for more means it has
        // lost its place and would run past a reply buffer of the minimum size.
        if (r == tvx::kAnaliseProximoByte && consumidos >= tvx::kTamanhoMinimoRespostaModbus - 1) {
            Falha("checker asks for more bytes than any reply can hold");
        }
    }
    if (r != tvx::kAnaliseFim) {
        return 0;  // the line ran dry first: the serial reader's time-out case
    }
    if (!StatusConhecido(status)) {
        Falha("unknown status code");
    }
    if (status != tvx::kModbusOk) {
        return 0;
    }
    // A reply passed as good must be the request's unit and function, hold
    // what was received in the order received, and carry a valid CRC.
    if (consumidos < 5 || resposta[0] != requisicao[0] || resposta[1] != requisicao[1]) {
        Falha("good reply does not answer the request");
    }
    if (std::memcmp(resposta.get(), linha, consumidos) != 0) {
        Falha("good reply differs from the bytes received");
    }
    const uint16_t crc = CrcModbusReferencia(linha, consumidos - 2);
    if (linha[consumidos - 2] != (crc & 0xFF) || linha[consumidos - 1] != (crc >> 8)) {
        Falha("good reply with a wrong CRC");
    }
    if (resposta[1] == 16) {
        if (consumidos != 8 || resposta[2] != requisicao[2] || resposta[3] != requisicao[3]) {
            Falha("good write reply of the wrong shape or register");
        }
    } else if (consumidos != 5u + resposta[2]) {
        Falha("good read reply whose length disagrees with its byte count");
    }
    return 0;
}
