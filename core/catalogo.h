#pragma once
// The fixed knowledge of the equipment models the wizard can program.
#include <array>
#include <cstdint>
#include <string>

namespace tvx {

inline constexpr uint32_t kQuantidadeModelos = 35;  // rows 0..34; row 0 is "Nenhum"

// Protocol families: how the IP settings travel.
inline constexpr uint8_t kFamiliaNenhuma = 0;
inline constexpr uint8_t kFamiliaTexto = 1;
inline constexpr uint8_t kFamiliaGatewayTx = 6;
inline constexpr uint8_t kFamiliaGatewayUniversal = 9;
inline constexpr uint8_t kFamiliaComando = 10;
inline constexpr uint8_t kFamiliaGatewayModbus = 15;
inline constexpr uint8_t kFamiliaRegistros = 21;
inline constexpr uint8_t kFamiliaSemModelo = 255;

// Option slots of InfoModelo::opcoes.
inline constexpr int kOpcaoMac = 0;
inline constexpr int kOpcaoCelularSms = 1;
inline constexpr int kOpcaoIdTelemetria = 2;
inline constexpr int kOpcaoUrl = 3;

// Extra step ids.
inline constexpr uint8_t kPassoMacIdSms = 2;
inline constexpr uint8_t kPassoMacComando = 11;
inline constexpr uint8_t kPassoRtuVelocidade = 12;
inline constexpr uint8_t kPassoTelemetria = 13;
inline constexpr uint8_t kPassoUrl = 14;
inline constexpr uint8_t kPassoTabelaModbus = 15;  // set by the parameters page, no exchange
inline constexpr uint8_t kPassoMac = 16;
inline constexpr uint8_t kPassoReconexao = 17;
inline constexpr uint8_t kPassoRelogio = 18;
inline constexpr uint8_t kPassoMemoriaMassa = 19;
inline constexpr uint8_t kPassoCamposMemoria = 20;
inline constexpr uint8_t kPassoEntradasDigitais = 22;
inline constexpr uint8_t kPassoSaidasDigitais = 23;

struct OpcaoModelo {
    uint8_t oferecida = 0;  // set by the catalogue
    uint8_t marcada = 0;    // set by the parameters page
    std::string valor;      // set by the parameters page (UTF-8)
};

struct PassoModelo {
    uint8_t id = 0;  // 0 = empty slot
    uint8_t marcado = 0;
};

struct InfoModelo {
    const char* nome = nullptr;
    const char* instrucoes = nullptr;  // "\r\n" between steps
    uint8_t familia = 0;
    uint8_t operadoraOferecida = 0;
    std::array<OpcaoModelo, 4> opcoes{};
    uint8_t alterarIp = 0;
    std::array<PassoModelo, 10> passos{};
};

// Resets registro (pointers null, bytes zero, texts empty), then fills it for
// indices 0..34; any other index gives false with the row left zero.
bool ObtemInfoModelo(uint32_t indice, InfoModelo& registro);
// False, and texto unchanged, for an index above 34.
bool ObtemNomeModelo(uint32_t indice, std::string& texto);
bool ObtemInstrucoes(uint32_t indice, std::string& texto);
// "Gateway TX ION", "Gateway RX", "Gateway TX940", "Gateway Modbus",
// "Gateway PC", or "?" for any other code.
const char* NomeFuncaoGateway(uint8_t codigo);

}  // namespace tvx
