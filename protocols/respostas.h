#pragma once
// What each kind of device reply says, apart from the link that carried it:
// the protocol routines store and post what these functions return, and the
// fuzz target feeds them any bytes at all. Each one reads the bytes that
// arrived and nothing past them; a reply shorter than its layout reads as if
// the rest were zeros, so that nothing of an earlier reply can show.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tvx::protocolos {

// The bytes one receive delivered.
using Recebido = std::span<const uint8_t>;

// What a reply leaves behind: the routine's flag and text, and the read-back
// addresses it sets (one it does not set keeps what the object held).
struct Decodificada {
    bool ok = true;
    std::string texto;
    std::optional<std::string> ip;
    std::optional<std::string> mascara;
    std::optional<std::string> gateway;
};

// Family 1: the address texts of the 60-byte echo, one per 20-byte slot.
Decodificada DecodificarEcoTexto(Recebido resposta);
// Families 6, 9 and 15: the 70-byte echo, its addresses in numeric form.
// Families 6 and 15 show the MAC; family 6 fails when the echoed address is
// not ipEnviado (numeric form), and then sets no address.
Decodificada DecodificarEcoRegistro(Recebido resposta, uint8_t familia, uint32_t ipEnviado);
// Family 9's answer to "LER=": the addresses and the lines of its function.
Decodificada DecodificarRegistroGateway(Recebido resposta);
// The tagged meters' text (280 bytes at most), from byte `inicio` on: the
// whole text, and the values of the labels "IP:", "Mask:" and "Gateway:".
Decodificada DecodificarTextoEtiquetado(Recebido resposta, size_t inicio);
// Step 2: the 60-byte echo of the MAC, the telemetry ID and the SMS phone.
Decodificada DecodificarEcoMacIdSms(Recebido resposta);
// Step 16: the 10-byte echo of the MAC; fails without its "MAC=" heading.
Decodificada DecodificarEcoMac(Recebido resposta);

}  // namespace tvx::protocolos
