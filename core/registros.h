#pragma once
// Layouts of the fixed byte records the equipment receives, and the helpers
// that move texts and numbers in and out of them. Texts in a record are
// Latin-1 bytes; texts in the program are UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvx {

inline constexpr size_t kTamanhoTag = 8;
inline constexpr const char* kTagTvx5150s = "TVX5150S";
inline constexpr const char* kTagTvx3300s = "TVX3300S";
inline constexpr const char* kTagTvx3300w = "TVX3300W";
inline constexpr const char* kTagTvx3000a = "TVX3000A";

// The 70-byte records of families 6, 9 and 15 and their 70-byte echoes.
inline constexpr size_t kTamanhoRegistroGateway = 70;
inline constexpr size_t kOffsetIp = 0;
inline constexpr size_t kOffsetMascara = 4;
inline constexpr size_t kOffsetGateway = 8;
inline constexpr size_t kOffsetMacEco = 64;

// registroGatewayUniversal (family 9)
inline constexpr size_t kGuIpGatewayRx = 12;
inline constexpr size_t kGuRtu1 = 16;
inline constexpr size_t kGuRtu2 = 17;
inline constexpr size_t kGuVelocidade = 18;
inline constexpr size_t kGuFuncao = 19;
inline constexpr size_t kGuBytesEnviados = 64;

// registroGatewayModbus (family 15): five meters
inline constexpr size_t kGmIpMedidor = 12;            // + 4 * (n - 1)
inline constexpr size_t kGmRtuMedidor = 32;           // + (n - 1)
inline constexpr size_t kGmFuncaoMedidor = 37;        // + (n - 1)
inline constexpr size_t kGmRegistroInicial = 42;      // + 2 * (n - 1), low byte first in the record
inline constexpr size_t kGmQuantidadeRegistros = 52;  // + (n - 1)
inline constexpr size_t kGmVelocidade = 59;

// registroGatewayTx (family 6): five TVX940 units
inline constexpr size_t kGtIpGateway = 12;  // + 4 * (n - 1)
inline constexpr size_t kGtFaixaRtu = 32;

inline constexpr size_t kQuantidadeMedidores = 5;

// registroTelemetria
inline constexpr size_t kTamanhoRegistroTelemetria = 49;
inline constexpr size_t kTelOperadora = 8;
inline constexpr size_t kTelId = 9;
inline constexpr size_t kTamanhoIdTelemetria = 40;
// registroUrl
inline constexpr size_t kTamanhoRegistroUrl = 89;
inline constexpr size_t kUrlTexto = 8;
inline constexpr size_t kTamanhoUrl = 81;
// registroRtuVelocidade
inline constexpr size_t kTamanhoRegistroRtuVelocidade = 10;
inline constexpr size_t kRvRtu = 8;
inline constexpr size_t kRvVelocidade = 9;
// registroReconexao
inline constexpr size_t kTamanhoRegistroReconexao = 9;
inline constexpr size_t kRecTempo = 8;

void EscreverTag(uint8_t* destino, const char* tag);

// Little-endian 32-bit IPv4 value (first octet in the lowest byte) at a record
// offset: the octets lie in dotted order.
uint32_t LerIpRegistro(const uint8_t* registro, size_t offset);
void EscreverIpRegistro(uint8_t* registro, size_t offset, uint32_t ip);
uint16_t LerU16Le(const uint8_t* origem);
void EscreverU16Le(uint8_t* destino, uint16_t valor);

// A zero-terminated Latin-1 field of at most tamanho bytes, as UTF-8.
std::string TextoDoCampo(const uint8_t* campo, size_t tamanho);
// Clears the field, then writes the Latin-1 form of texto cut to maximo bytes
// (maximo <= tamanho); a shorter text is followed by zeros.
void GravarTextoNoCampo(uint8_t* campo, size_t tamanho, std::string_view texto, size_t maximo);

}  // namespace tvx
