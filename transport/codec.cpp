#include "transport/codec.h"

#include <array>
#include <cstring>
#include <limits>

namespace tvx {

namespace {

// The frame builders answer with a 16-bit length: anything longer would wrap
// into a value the caller could take for a valid (or negative) length.
constexpr int32_t kMaiorQuadro = std::numeric_limits<int16_t>::max();

constexpr int32_t kCabecalhoTcp = 12;
constexpr int32_t kLimiteCargaTcp = 1280;  // exclusive: the device takes at most 0x4FF bytes

// A negative payload length is handed back to the caller as the failure it
// reported; one that does not fit in 16 bits must not turn positive on the way.
int16_t DevolverNegativo(int32_t tamanho) {
    if (tamanho < std::numeric_limits<int16_t>::min()) {
        return -1;
    }
    return static_cast<int16_t>(tamanho);
}

// Writes one byte, twice when it is DLE, without passing the capacity.
bool EscreverDobrado(uint8_t* destino, uint32_t capacidade, uint32_t& posicao, uint8_t valor) {
    const uint32_t necessarios = valor == kDle ? 2u : 1u;
    if (capacidade - posicao < necessarios) {
        return false;
    }
    destino[posicao++] = valor;
    if (valor == kDle) {
        destino[posicao++] = valor;
    }
    return true;
}

void EscreverBe16(uint8_t* destino, uint16_t valor) {
    destino[0] = static_cast<uint8_t>(valor >> 8);
    destino[1] = static_cast<uint8_t>(valor & 0xFF);
}

void EscreverLe16(uint8_t* destino, uint16_t valor) {
    destino[0] = static_cast<uint8_t>(valor & 0xFF);
    destino[1] = static_cast<uint8_t>(valor >> 8);
}

// Read replies (functions 2, 3 and 4) carry their CRC after the data; the
// write reply (16) after the echoed register and count. 0 for anything else.
uint32_t PosicaoCrc(uint8_t funcao, uint8_t contador) {
    switch (funcao) {
        case 2:
        case 3:
        case 4:
            return static_cast<uint32_t>(contador) + 3u;
        case 16:
            return 6u;
        default:
            return 0u;
    }
}

}  // namespace

int16_t MontarQuadroSimples(uint8_t* destino, uint32_t capacidade, uint8_t comando,
                            uint8_t subcomando, int32_t tamanho, const uint8_t* dados) {
    if (tamanho < 0) {
        return DevolverNegativo(tamanho);
    }
    if (destino == nullptr) {
        return -1;
    }
    const uint32_t cap = capacidade & 0xFFFFu;
    std::memset(destino, 0, cap);
    if (cap < 2) {
        return -1;
    }
    destino[0] = comando;
    destino[1] = subcomando;
    if (tamanho < 1 || dados == nullptr) {
        return 2;
    }
    // A payload that does not fit is refused: sending the bare command bytes
    // instead would make the device act on a command without its data.
    const int64_t total = static_cast<int64_t>(tamanho) + 2;
    if (total > cap || total > kMaiorQuadro) {
        std::memset(destino, 0, cap);
        return -1;
    }
    std::memcpy(destino + 2, dados, static_cast<size_t>(tamanho));
    return static_cast<int16_t>(total);
}

int16_t MontarQuadroDle(uint8_t* destino, uint32_t capacidade, uint8_t rtu, uint8_t comando,
                        uint8_t subcomando, int32_t tamanho, const uint8_t* dados) {
    if (tamanho < 0) {
        return DevolverNegativo(tamanho);
    }
    if (destino == nullptr) {
        return -1;
    }
    const uint32_t cap = capacidade & 0xFFFFu;
    std::memset(destino, 0, cap);

    auto falhar = [&]() -> int16_t {
        std::memset(destino, 0, cap);
        return -1;
    };

    uint32_t pos = 0;
    if (cap < 2) {
        return falhar();
    }
    destino[pos++] = kDle;
    destino[pos++] = kStx;
    if (!EscreverDobrado(destino, cap, pos, rtu) || !EscreverDobrado(destino, cap, pos, comando) ||
        !EscreverDobrado(destino, cap, pos, subcomando)) {
        return falhar();
    }

    if (tamanho >= 1 && dados != nullptr) {
        // Likewise a payload too long for the buffer is refused rather than
        // left out of an otherwise valid frame.
        const int32_t escritos =
            InserirDle(dados, destino + pos, tamanho, static_cast<int32_t>(cap - pos));
        if (escritos < 0) {
            return falhar();
        }
        pos += static_cast<uint32_t>(escritos);
    }

    // DLE ETX and the two CRC bytes.
    if (cap - pos < 4) {
        return falhar();
    }
    destino[pos++] = kDle;
    destino[pos++] = kEtx;
    uint16_t crc = 0;
    Crc16Cms(crc, destino, pos);
    EscreverBe16(destino + pos, crc);
    pos += 2;
    if (pos > static_cast<uint32_t>(kMaiorQuadro)) {
        return falhar();
    }
    return static_cast<int16_t>(pos);
}

int32_t EncapsularTcp(uint8_t* destino, int32_t capacidade, const uint8_t* origem, int32_t tamanho,
                      uint8_t rtu, uint8_t flag) {
    if (destino == nullptr || capacidade < kCabecalhoTcp) {
        return -1;
    }
    // The channel encapsulates its transmit buffer in place, so the frame is
    // put together aside before anything is written to the destination.
    std::array<uint8_t, kCabecalhoTcp + kLimiteCargaTcp> trabalho{};
    trabalho[2] = 0x03;
    trabalho[4] = flag;
    trabalho[7] = 0x05;
    trabalho[8] = rtu;
    trabalho[9] = 0xFF;
    EscreverLe16(&trabalho[10], static_cast<uint16_t>(static_cast<uint32_t>(tamanho) & 0xFFFFu));

    if (tamanho < 1 || tamanho >= kLimiteCargaTcp) {
        trabalho[9] = 0x00;
        std::memcpy(destino, trabalho.data(), kCabecalhoTcp);
        return kCabecalhoTcp;
    }
    if (origem == nullptr) {
        return -1;
    }
    EscreverBe16(&trabalho[10], static_cast<uint16_t>(tamanho));
    std::memcpy(&trabalho[kCabecalhoTcp], origem, static_cast<size_t>(tamanho));
    const int32_t total = kCabecalhoTcp + tamanho;
    if (total > capacidade) {
        return -1;
    }
    std::memcpy(destino, trabalho.data(), static_cast<size_t>(total));
    return total;
}

int32_t InserirDle(const uint8_t* origem, uint8_t* destino, int32_t tamanho, int32_t espaco) {
    if (origem == nullptr || destino == nullptr || tamanho <= 0 || espaco <= 0) {
        return -1;
    }
    // Room for the worst case, every byte doubled, is demanded up front.
    if (2 * static_cast<int64_t>(tamanho) > espaco) {
        return -1;
    }
    int32_t escritos = 0;
    for (int32_t i = 0; i < tamanho; ++i) {
        destino[escritos++] = origem[i];
        if (origem[i] == kDle) {
            destino[escritos++] = kDle;
        }
    }
    return escritos;
}

void Crc16Cms(uint16_t& saida, const uint8_t* dados, size_t tamanho) {
    uint16_t crc = 0xFFFF;
    if (dados != nullptr) {
        for (size_t i = 0; i < tamanho; ++i) {
            crc ^= static_cast<uint16_t>(dados[i] << 8);
            for (int bit = 0; bit < 8; ++bit) {
                const bool alto = (crc & 0x8000) != 0;
                crc = static_cast<uint16_t>(crc << 1);
                if (alto) {
                    crc ^= 0x8005;
                }
            }
        }
    }
    saida = crc;
}

void Crc16Modbus(uint16_t& saida, const uint8_t* dados, size_t tamanho) {
    uint16_t crc = 0xFFFF;
    if (dados != nullptr) {
        for (size_t i = 0; i < tamanho; ++i) {
            crc ^= dados[i];
            for (int bit = 0; bit < 8; ++bit) {
                const bool baixo = (crc & 0x0001) != 0;
                crc = static_cast<uint16_t>(crc >> 1);
                if (baixo) {
                    crc ^= 0xA001;
                }
            }
        }
    }
    saida = crc;
}

int MontarLeituraModbus(uint8_t* destino, uint8_t unidade, uint16_t registro, uint16_t quantidade) {
    if (destino == nullptr) {
        return -1;
    }
    destino[0] = unidade;
    destino[1] = 0x03;
    EscreverBe16(destino + 2, registro);
    EscreverBe16(destino + 4, quantidade);
    uint16_t crc = 0;
    Crc16Modbus(crc, destino, 6);
    EscreverLe16(destino + 6, crc);
    return 8;
}

int MontarEscritaModbus(uint8_t* destino, uint8_t unidade, uint16_t registro, uint8_t quantidade,
                        uint8_t bytes, const uint8_t* dados) {
    if (destino == nullptr) {
        return -1;
    }
    destino[0] = unidade;
    destino[1] = 0x10;
    EscreverBe16(destino + 2, registro);
    destino[4] = 0x00;
    destino[5] = quantidade;
    destino[6] = bytes;
    if (dados != nullptr) {
        std::memmove(destino + 7, dados, bytes);
    } else {
        std::memset(destino + 7, 0, bytes);
    }
    uint16_t crc = 0;
    Crc16Modbus(crc, destino, 7u + bytes);
    EscreverLe16(destino + 7 + bytes, crc);
    return 9 + bytes;
}

int RtuParaTcp(uint8_t* destino, const uint8_t* rtu, int m) {
    // Below 3 bytes there is no unit and function to carry; above the 16-bit
    // length field the header could not describe the request.
    if (destino == nullptr || rtu == nullptr || m < 3 || m - 2 > 0xFFFF) {
        return -1;
    }
    std::memset(destino, 0, static_cast<size_t>(m) + 4);
    EscreverBe16(destino + 4, static_cast<uint16_t>(m - 2));
    std::memcpy(destino + 6, rtu, static_cast<size_t>(m) - 2);
    return m + 4;
}

bool RespostaModbusTcpAceita(const uint8_t* pedido, const uint8_t* resposta, int recebidos) {
    constexpr uint8_t kFuncaoLeitura = 0x03;
    constexpr uint8_t kFuncaoEscrita = 0x10;
    if (pedido == nullptr || resposta == nullptr || recebidos <= kFuncaoModbusTcp ||
        resposta[kFuncaoModbusTcp] != pedido[kFuncaoModbusTcp]) {
        return false;
    }
    switch (pedido[kFuncaoModbusTcp]) {
        case kFuncaoLeitura:
            return recebidos >= kInicioDadosModbusTcp;  // up to the byte count
        case kFuncaoEscrita:
            return recebidos >= kFuncaoModbusTcp + 5;  // the address and the count written
        default:
            return true;
    }
}

void TrocarBytes(uint8_t* buffer, uint16_t tamanho) {
    if (buffer == nullptr) {
        return;
    }
    for (uint32_t i = 0; i + 1 < tamanho; i += 2) {
        const uint8_t primeiro = buffer[i];
        buffer[i] = buffer[i + 1];
        buffer[i + 1] = primeiro;
    }
}

int AnalisarRespostaModbus(const uint8_t* requisicao, uint8_t* resposta, uint16_t& estado,
                           uint8_t byte, uint8_t& contador, uint8_t& status) {
    if (requisicao == nullptr || resposta == nullptr) {
        status = kModbusCapacidade;
        return kAnaliseFim;
    }
    switch (estado) {
        case 0:
            if (byte != requisicao[0]) {
                status = kModbusUnidadeErrada;
                return kAnaliseFim;
            }
            resposta[0] = byte;
            estado = 1;
            return kAnaliseProximoByte;

        case 1:
            if (byte != requisicao[1]) {
                status = kModbusFuncaoErrada;
                return kAnaliseFim;
            }
            resposta[1] = byte;
            if (byte == 2 || byte == 3 || byte == 4) {
                estado = 32;
                return kAnaliseProximoByte;
            }
            if (byte == 16) {
                estado = 162;
                return kAnaliseProximoByte;
            }
            // A reply this checker cannot follow to its CRC is not a good reply.
            status = kModbusCrc;
            return kAnaliseFim;

        case 32:
            if (byte > 252) {
                status = kModbusContagemExcessiva;
                return kAnaliseFim;
            }
            resposta[2] = byte;
            contador = 0;
            // With no data the CRC follows at once; waiting for data here would
            // run the counter round and past the end of the reply buffer.
            estado = byte == 0 ? 6 : 33;
            return kAnaliseProximoByte;

        case 33: {
            const uint8_t esperados = resposta[2];
            if (esperados > 252 || contador >= esperados) {
                status = kModbusContagemExcessiva;
                return kAnaliseFim;
            }
            resposta[3u + contador] = byte;
            ++contador;
            if (contador == esperados) {
                estado = 6;
            }
            return kAnaliseProximoByte;
        }

        case 162:
            if (byte != requisicao[2]) {
                status = kModbusRegistroErrado;
                return kAnaliseFim;
            }
            resposta[2] = byte;
            estado = 163;
            return kAnaliseProximoByte;

        case 163:
            if (byte != requisicao[3]) {
                status = kModbusRegistroErrado;
                return kAnaliseFim;
            }
            resposta[3] = byte;
            estado = 164;
            return kAnaliseProximoByte;

        case 164:
            resposta[4] = byte;
            estado = 165;
            return kAnaliseProximoByte;

        case 165:
            resposta[5] = byte;
            contador = 6;
            estado = 6;
            return kAnaliseProximoByte;

        case 6: {
            const uint32_t p = PosicaoCrc(resposta[1], contador);
            if (p == 0 || p + 1 >= kTamanhoMinimoRespostaModbus) {
                status = kModbusCrc;
                return kAnaliseFim;
            }
            resposta[p] = byte;
            estado = 7;
            return kAnaliseProximoByte;
        }

        case 7: {
            const uint32_t p = PosicaoCrc(resposta[1], contador);
            if (p == 0 || p + 1 >= kTamanhoMinimoRespostaModbus) {
                status = kModbusCrc;
                return kAnaliseFim;
            }
            resposta[p + 1] = byte;
            uint16_t calculado = 0;
            Crc16Modbus(calculado, resposta, p);
            const uint16_t recebido =
                static_cast<uint16_t>(resposta[p] | (static_cast<uint16_t>(resposta[p + 1]) << 8));
            if (calculado != recebido) {
                status = kModbusCrc;
            }
            return kAnaliseFim;
        }

        default:
            return kAnaliseProximoByte;
    }
}

}  // namespace tvx
