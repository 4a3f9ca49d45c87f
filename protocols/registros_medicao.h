#pragma once
// What the family-21 equipment's registers say, apart from the link that
// carried them: the read run and the fuzz target both go through here.
#include <cstdint>
#include <string>

#include "transport/codec.h"

namespace tvx::protocolos {

inline constexpr int kBytesProgramacao = 8;  // registers 1280..1283
inline constexpr int kBytesMedicoes = 28;    // registers 1024..1037

// Whether a Modbus TCP reply of `recebidos` bytes carried all `tamanho` data
// bytes asked for. The channel copies whatever its buffer holds, and zeros
// taken for register values would be stored and later written back.
bool BlocoRegistrosCompleto(const uint8_t* resposta, int recebidos, int tamanho);

struct ProgramacaoAtiva {
    uint16_t entradas = 0;
    uint16_t saidas = 0;
    uint32_t ip = 0;  // first octet in the lowest byte
};

// From the 8 data bytes of registers 1280..1283.
ProgramacaoAtiva DecodificarProgramacao(const uint8_t* bytes);
// "\r\nProgramação ativa:\r\n" with one line per input and output, then "IP:...".
std::string TextoProgramacao(const ProgramacaoAtiva& programacao);
// "\r\nMedição:\r\n" with the seven measurements from the 28 data bytes of
// registers 1024..1037, three decimals each.
std::string TextoMedicoes(const uint8_t* bytes);

}  // namespace tvx::protocolos
