#pragma once
// Faults the operator sets: which requests they reach, and what becomes of
// the reply the equipment would have sent.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/dispositivo.h"
#include "sim/pedido.h"
#include "sim/simulador.h"

namespace tvx::sim {

struct FalhaAtiva {
    Falha falha = Falha::Nenhuma;
    AlvoFalha alvo;
};

// Whether the fault is meant for this request: its target matches and the
// fault makes sense for it (a Modbus exception only for Modbus, another IP
// only for a block that programs addresses). Garbage is never a target.
bool FalhaAlcanca(const FalhaAtiva& falha, const Pedido& pedido);

// The faults that change what the equipment itself answers.
bool FalhaDoEquipamento(Falha falha);

struct Envio {
    std::vector<uint8_t> bytes;
    bool fecharDepois = false;  // close the connection after sending
    bool sumir = false;         // serial: the line goes away; TCP: connection closed
    bool aplicarEstado = true;  // the request took effect
    std::string nota;           // what the fault did
};

inline constexpr size_t kTamanhoRespostaGigante = 3000;
inline constexpr size_t kBytesRespostaCurta = 4;

Envio AplicarFalhaTransporte(Falha falha, const Resposta& resposta, Meio meio);

// "refuse", "silent", ... as the command line spells them.
const char* NomeFalha(Falha falha);
bool FalhaDoNome(const std::string& nome, Falha& falha);
// "L22", "P1", "1280", "raw" or "" (anything).
bool AlvoDoTexto(const std::string& texto, AlvoFalha& alvo);

}  // namespace tvx::sim
