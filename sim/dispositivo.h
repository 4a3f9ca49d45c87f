#pragma once
// The equipment's firmware: what it does with one request and what it
// answers. Pure: it works on a copy of the state and hands back the state the
// request leaves, so a fault can still decide that nothing was applied.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/pedido.h"
#include "sim/perfil.h"
#include "sim/simulador.h"

namespace tvx::sim {

struct Resposta {
    std::vector<uint8_t> bytes;  // empty: the equipment stays silent
    int posicaoAck = -1;         // offset of 0x06/0x15 in bytes, -1 when there is none
    std::string entendido;       // what the request meant to the equipment
    std::string descricao;       // what the reply says
    EstadoEquipamento estado;    // the state the request leaves
    bool reinicia = false;       // the equipment restarts once the reply is out
};

class Dispositivo {
  public:
    explicit Dispositivo(uint32_t modelo);

    const Perfil& perfil() const { return perfil_; }
    Dialeto dialeto() const { return dialeto_; }

    // falha carries only what changes the equipment's own answer (Recusar,
    // ExcecaoModbus, IpDiferente); the transport faults are applied afterwards.
    Resposta Atender(const Pedido& pedido, Meio meio, const EstadoEquipamento& estado,
                     Falha falha) const;

    // Whether a block is one that programs the addresses (the only one a
    // different IP can be echoed for).
    static bool BlocoDeEnderecos(const Pedido& pedido);

  private:
    Resposta AtenderComando(const Pedido& pedido, Meio meio, const EstadoEquipamento& estado,
                            bool recusar) const;
    Resposta AtenderBloco(const Pedido& pedido, const EstadoEquipamento& estado, Falha falha) const;
    Resposta AtenderModbus(const Pedido& pedido, Meio meio, const EstadoEquipamento& estado,
                           Falha falha) const;
    std::string TextoLeitura(const EstadoEquipamento& estado) const;

    Perfil perfil_;
    Dialeto dialeto_;
};

// Helpers shared by the dialects.
std::string IpCompacto(uint32_t ip);
std::string Mac(const std::array<uint8_t, 6>& mac);
// A dotted IPv4 text of four numbers 0..255 (leading zeros allowed) in a
// zero-padded field; nullopt for anything else.
std::optional<uint32_t> LerIpCampo(const uint8_t* campo, size_t tamanho);
std::string Latin1Visivel(const std::string& bytes);  // for descriptions
std::string TextoDoBloco(const uint8_t* campo, size_t tamanho);
// The rate a code of the RTU/rate step stands for: the telemetry units take
// their own codes, 96 and 38, which the wizard offers as 9600 and 38400,
// besides the serial table's indices 0..15. 0 for any other code.
uint32_t VelocidadeDoPassoRtu(uint8_t codigo);

}  // namespace tvx::sim
