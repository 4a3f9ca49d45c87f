#pragma once
// What one model of equipment is, seen from the device side: its protocol
// family, the port it listens on, how its 'L' commands are framed and which
// extra settings it accepts.
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::sim {

// Frame kinds of the command replies: where the 0x06 goes.
inline constexpr uint8_t kRespostaDle = 0;      // 0x06 after address, command, subcommand
inline constexpr uint8_t kRespostaSimples = 4;  // 0x06 first
inline constexpr uint8_t kRespostaModbus = 5;
inline constexpr uint8_t kRespostaDleCurta = 6;  // 0x06 right after the address

struct Perfil {
    uint32_t modelo = 0;
    uint8_t familia = 0;
    std::string nome;  // catalogue name
    uint16_t porta = 5003;
    uint8_t tipoQuadro = kRespostaDle;  // kind of its 'L' commands; 'P' commands are always DLE
    std::vector<uint8_t> passos;        // extra step ids, slot order, empty slots left out

    bool TemPasso(uint8_t id) const;
};

Perfil PerfilDoModelo(uint32_t modelo);

}  // namespace tvx::sim
