#pragma once
// The exact bytes on the wire: the equipment's plain and DLE command frames,
// the 12-byte TCP encapsulation header, Modbus RTU and Modbus TCP requests and
// the byte-by-byte Modbus RTU reply checker. Free functions over caller
// buffers; no state.
#include <cstddef>
#include <cstdint>

namespace tvx {

inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kStx = 0x02;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kAck = 0x06;

// Command, subcommand, payload. A negative payload length is returned as it is.
int16_t MontarQuadroSimples(uint8_t* destino, uint32_t capacidade, uint8_t comando,
                            uint8_t subcomando, int32_t tamanho, const uint8_t* dados);
// DLE STX, address, command, subcommand, payload (each 0x10 doubled), DLE ETX,
// CRC-16/CMS big-endian. A negative payload length is returned as it is; a
// frame that does not fit gives -1.
int16_t MontarQuadroDle(uint8_t* destino, uint32_t capacidade, uint8_t rtu, uint8_t comando,
                        uint8_t subcomando, int32_t tamanho, const uint8_t* dados);
// destino and origem may be the same buffer. Out-of-range lengths (below 1 or
// 1280 and above) give the 12-byte header alone.
int32_t EncapsularTcp(uint8_t* destino, int32_t capacidade, const uint8_t* origem, int32_t tamanho,
                      uint8_t rtu, uint8_t flag);
// Copies with every 0x10 doubled; -1 when it cannot fit twice the length.
int32_t InserirDle(const uint8_t* origem, uint8_t* destino, int32_t tamanho, int32_t espaco);

void Crc16Cms(uint16_t& saida, const uint8_t* dados, size_t tamanho);
void Crc16Modbus(uint16_t& saida, const uint8_t* dados, size_t tamanho);

// Function 3 request, 8 bytes.
int MontarLeituraModbus(uint8_t* destino, uint8_t unidade, uint16_t registro, uint16_t quantidade);
// Function 16 request, 9 + bytes.
int MontarEscritaModbus(uint8_t* destino, uint8_t unidade, uint16_t registro, uint8_t quantidade,
                        uint8_t bytes, const uint8_t* dados);
// Modbus TCP request from an RTU request of length m (m >= 3); m + 4 bytes.
int RtuParaTcp(uint8_t* destino, const uint8_t* rtu, int m);
// Modbus TCP frames: the function code follows the 7-byte header (with the
// unit); the data of a read reply follow its byte count.
inline constexpr int kFuncaoModbusTcp = 7;
inline constexpr int kInicioDadosModbusTcp = 9;
// Whether a Modbus TCP reply of recebidos bytes answers the request (as
// RtuParaTcp builds it): the request's function code, not its exception
// code, and at least what that function's reply holds before any data (the
// byte count of a read; the address and count of a write).
bool RespostaModbusTcpAceita(const uint8_t* pedido, const uint8_t* resposta, int recebidos);
// Swaps the two bytes of each whole 16-bit word.
void TrocarBytes(uint8_t* buffer, uint16_t tamanho);

inline constexpr int kAnaliseProximoByte = -2;
inline constexpr int kAnaliseFim = -1;
// Status codes of the checker, and of the serial reader that feeds it.
inline constexpr uint8_t kModbusOk = 0;
inline constexpr uint8_t kModbusSemResposta = 1;
inline constexpr uint8_t kModbusUnidadeErrada = 2;
inline constexpr uint8_t kModbusFuncaoErrada = 4;
inline constexpr uint8_t kModbusContagemExcessiva = 8;
inline constexpr uint8_t kModbusCrc = 16;
inline constexpr uint8_t kModbusRegistroErrado = 32;
inline constexpr uint8_t kModbusCapacidade = 0x80;
inline constexpr size_t kTamanhoMinimoRespostaModbus = 258;

// Feeds one received byte. Start with estado 0 and status 0; keep calling
// while the result is kAnaliseProximoByte. resposta holds at least 258 bytes.
int AnalisarRespostaModbus(const uint8_t* requisicao, uint8_t* resposta, uint16_t& estado,
                           uint8_t byte, uint8_t& contador, uint8_t& status);

}  // namespace tvx
