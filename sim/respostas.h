#pragma once
// The shapes of the equipment's replies. Command replies are DLE-framed over
// both media, with two leading length bytes over TCP, so that the 0x06 lies
// where the program looks for it: serial byte 5 (12-byte reply) for the long
// form, byte 3 (10-byte reply) for the short form; over TCP both two later.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/pedido.h"

namespace tvx::sim {

inline constexpr uint8_t kNak = 0x15;

// Reason codes carried by the long form after the acknowledgement byte.
enum class Motivo : uint16_t {
    Nenhum = 0,
    Quadro = 1,  // check value or DLE framing wrong
    ComandoDesconhecido = 2,
    Tamanho = 3,        // payload length not the one the command takes
    Etiqueta = 4,       // device tag not the one the command takes
    ValorInvalido = 5,  // a field holds a value the equipment cannot take
    Recusado = 6,       // the equipment refuses (fault set by the operator)
};
const char* TextoMotivo(Motivo motivo);

struct Forma {
    std::vector<uint8_t> bytes;
    int posicaoAck = -1;  // -1: the reply has no acknowledgement byte
};

// Long form (kind 0): DLE STX, address, command, subcommand, ack, reason
// (2 bytes, big-endian), DLE ETX, CRC-16/CMS big-endian: 12 bytes on serial.
// Short form (kind 6): DLE STX, address, ack, command, subcommand, DLE ETX,
// CRC: 10 bytes. The fixed fields are not doubled, so the ack never moves.
Forma RespostaAckDle(Meio meio, bool curta, uint8_t rtu, uint8_t comando, uint8_t subcomando,
                     uint8_t ack, Motivo motivo);
// Plain frames: ack, command, subcommand.
Forma RespostaAckSimples(uint8_t comando, uint8_t subcomando, uint8_t ack);
// DLE STX, address, the Latin-1 text, a zero byte, DLE ETX, CRC; the text
// starts at byte 3 on serial and 5 over TCP. The text holds no DLE byte.
Forma RespostaTextoDle(Meio meio, uint8_t rtu, const std::string& texto);
// Plain frames: the text and its zero byte, from byte 0.
Forma RespostaTextoSimples(const std::string& texto);

// Modbus: the PDU (function and data) wrapped for the medium: MBAP header
// with the request's transaction and unit over TCP, unit and CRC-16/MODBUS
// (low byte first) over serial.
std::vector<uint8_t> EnvelopeModbus(Meio meio, const Pedido& pedido,
                                    const std::vector<uint8_t>& pdu);

}  // namespace tvx::sim
