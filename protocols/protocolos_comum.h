#pragma once
// Small pieces shared by the IP programming, reading and extended programming
// routines of the equipment object. Private to protocols/.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/equipamento.h"
#include "core/texto.h"

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

// A zero-ended text field of a device's reply, as the page, the terminal and
// the log may show it (see TextoDoEquipamento).
inline std::string TextoRecebido(const uint8_t* campo, size_t tamanho) {
    const uint8_t* fim = std::find(campo, campo + tamanho, uint8_t{0});
    return TextoDoEquipamento(
        std::string_view(reinterpret_cast<const char*>(campo), static_cast<size_t>(fim - campo)));
}

// The read-back fields from a 70-byte echo in numeric form.
inline void GuardarEnderecosLidos(cEquipamento& e, const uint8_t* resposta) {
    e.SetIpLido(IpParaTexto(LerIpRegistro(resposta, kOffsetIp), false));
    e.SetMascaraLida(IpParaTexto(LerIpRegistro(resposta, kOffsetMascara), false));
    e.SetGatewayLido(IpParaTexto(LerIpRegistro(resposta, kOffsetGateway), false));
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
