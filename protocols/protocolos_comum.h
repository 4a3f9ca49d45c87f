#pragma once
// Small pieces shared by the IP programming, reading and extended programming
// routines of the equipment object. Private to protocols/.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/equipamento.h"
#include "protocols/respostas.h"

namespace tvx::protocolos {

inline constexpr size_t kTamanhoSlotEndereco = 20;
inline constexpr uint8_t kComandoL = 'L';
inline constexpr uint8_t kComandoP = 'P';

// Modbus registers of the family-21 equipment.
inline constexpr uint16_t kRegistroEntradas = 1280;
inline constexpr uint16_t kRegistroSaidas = 1281;
inline constexpr uint16_t kRegistroIpInicio = 1282;  // first and second octets
inline constexpr uint16_t kRegistroIpFim = 1283;     // third and fourth octets
inline constexpr uint16_t kRegistroMedicoes = 1024;
inline constexpr int kTamanhoRespostaEscrita = 10;

inline constexpr const char* kFalhaEnvioIp = "Leitura de IP falhou.";
inline constexpr const char* kFalhaRecepcao = "Falha na recepção (recv).";
inline constexpr const char* kFalhaProgramacao = "Falha na programação.";

// Builds the command in the channel's transmit buffer and sends the frame.
// A build that fails (negative length) is a failed send.
inline bool EnviarComando(cEquipamento& e, uint8_t comando, uint8_t subcomando, int32_t tamanho,
                          const uint8_t* dados) {
    const int n = e.MontaComando(comando, subcomando, tamanho, dados);
    if (n <= 0) {
        return false;
    }
    return e.EnviaBruto(e.canal.BufferTx(), n);
}

// One 20-byte address slot: at most 20 characters, a zero after a shorter text.
inline void GravarEndereco(uint8_t* slot, std::string_view texto) {
    GravarTextoNoCampo(slot, kTamanhoSlotEndereco, texto, kTamanhoSlotEndereco);
}

// The 60-byte address block of family 1, both directions: one 20-byte text
// slot per address.
inline constexpr size_t kTamanhoBlocoTexto = 60;
inline constexpr size_t kSlotIp = 0;
inline constexpr size_t kSlotMascara = 20;
inline constexpr size_t kSlotGateway = 40;

// The unframed MAC blocks of steps 2 and 16, and the echo of step 2.
inline constexpr size_t kTamanhoBlocoMac = 60;
inline constexpr size_t kMacMarca = 0;
inline constexpr size_t kMacValor = 4;
inline constexpr size_t kTamanhoMac = 6;
inline constexpr size_t kIdMarca = 20;
inline constexpr size_t kIdValor = 23;
inline constexpr size_t kMaximoId = 17;
inline constexpr size_t kSmsMarca = 40;
inline constexpr size_t kSmsValor = 42;
inline constexpr size_t kMaximoSms = 18;
inline constexpr size_t kTamanhoRespostaMac = 10;

// The tagged meters' answer to 'L' 31.
inline constexpr size_t kTamanhoRespostaTexto = 280;

// Waits for one reply and takes it into a zeroed block of its layout's size;
// the bytes that arrived, which the decoders read no further than, or
// nothing with the receive failure in resultado.
template <size_t N>
std::optional<Recebido> ReceberResposta(cEquipamento& e, std::array<uint8_t, N>& bloco,
                                        std::string& resultado) {
    e.AguardaResposta();
    bloco.fill(0);
    if (!e.Recebe(bloco.data(), static_cast<int>(N))) {
        resultado = kFalhaRecepcao;
        return std::nullopt;
    }
    const int chegou = std::clamp(e.canal.TamanhoUltimaRecepcao(), 0, static_cast<int>(N));
    return Recebido(bloco.data(), static_cast<size_t>(chegou));
}

// Stores the read-back addresses of a decoded reply and hands on its text:
// after what the routine's text held when the reply was taken (in its place
// with substituir), and in its place when the reply is a failure.
inline bool GuardarResposta(cEquipamento& e, const Decodificada& d, std::string& resultado,
                            bool substituir = false) {
    if (d.ip) {
        e.ipLido = *d.ip;
    }
    if (d.mascara) {
        e.mascaraLida = *d.mascara;
    }
    if (d.gateway) {
        e.gatewayLido = *d.gateway;
    }
    if (substituir || !d.ok) {
        resultado = d.texto;
    } else {
        resultado += d.texto;
    }
    return d.ok;
}

// A register pair travels most significant byte first.
inline uint16_t RegistroDe(const uint8_t* dados) {
    return static_cast<uint16_t>(dados[0] << 8 | dados[1]);
}

inline void RegistroPara(uint8_t* destino, uint16_t valor) {
    destino[0] = static_cast<uint8_t>(valor >> 8);
    destino[1] = static_cast<uint8_t>(valor);
}

}  // namespace tvx::protocolos
