#pragma once
// One request as the equipment receives it, and the cutter that finds the
// requests in the byte stream of a TCP connection or a serial line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvx::sim {

enum class Meio : uint8_t { Tcp, Serial };

// How a family's equipment reads its input: framed commands (families 10 and
// 0), fixed unframed blocks (families 1, 6, 9, 15) or Modbus (family 21).
enum class Dialeto : uint8_t { Comandos, Blocos, Modbus };
Dialeto DialetoDaFamilia(uint8_t familia);

enum class TipoPedido : uint8_t {
    ComandoSimples,  // command, subcommand, payload; no check value
    ComandoDle,      // DLE STX ... DLE ETX CRC, bare or behind the 12-byte TCP header
    Bloco,           // unframed block of fixed size
    ModbusTcp,
    ModbusRtu,
    Invalido,  // bytes that make no request: never answered
};

struct Pedido {
    TipoPedido tipo = TipoPedido::Invalido;
    std::vector<uint8_t> bruto;  // exactly as received

    // Commands.
    bool encapsulado = false;  // came behind the 12-byte TCP header
    uint8_t rtu = 0;
    uint8_t comando = 0;
    uint8_t subcomando = 0;
    std::vector<uint8_t> dados;  // payload, DLE doubling removed

    // Modbus.
    uint16_t transacao = 0;
    uint8_t unidade = 0;
    uint8_t funcao = 0;
    uint16_t registro = 0;
    uint16_t quantidade = 0;
    uint8_t contagemBytes = 0;
    std::vector<uint8_t> valores;  // register data of a write, high byte first

    // Why a request that could be cut out is unsound (check value, doubling,
    // header, length). Empty when sound. For Invalido: why nothing was made of it.
    std::string defeito;
};

inline constexpr size_t kTamanhoMaximoEntrada = 4096;  // bytes kept while a request is incomplete
inline constexpr size_t kCabecalhoTcpDle = 12;
inline constexpr size_t kLimiteCargaTcpDle = 1280;  // the header's length lies in 1..1279

// Payload size of a plain command frame, by command and subcommand; nullopt
// for a pair the equipment does not know.
std::optional<size_t> CargaQuadroSimples(uint8_t comando, uint8_t subcomando);

class Extrator {
  public:
    Extrator(uint32_t modelo, Meio meio);

    void Alimentar(const uint8_t* dados, size_t tamanho);
    // The next request at the head of the input, if it is complete. With
    // ocioso (the line has been quiet for a while) an incomplete rest is
    // handed back as Invalido so that it cannot block what follows.
    std::optional<Pedido> Proximo(bool ocioso);
    bool Vazio() const { return entrada_.empty(); }

  private:
    std::optional<Pedido> ProximoComando(bool ocioso);
    std::optional<Pedido> ProximoBloco(bool ocioso);
    std::optional<Pedido> ProximoModbusTcp(bool ocioso);
    std::optional<Pedido> ProximoModbusRtu(bool ocioso);
    Pedido Retirar(TipoPedido tipo, size_t quantos);
    Pedido Descartar(size_t quantos, std::string motivo);

    uint32_t modelo_;
    uint8_t familia_;
    Meio meio_;
    Dialeto dialeto_;
    bool quadroSimples_;  // the model's 'L' commands come as plain frames
    std::vector<uint8_t> entrada_;
};

// Reads a DLE frame at the start of dados. nullopt while incomplete; else the
// frame's length in consumido and the request (with defeito when unsound).
std::optional<Pedido> DecodificarDle(const uint8_t* dados, size_t tamanho, size_t& consumido);

}  // namespace tvx::sim
