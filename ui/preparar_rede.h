#pragma once
// Before a run that reaches the device over TCP: what keeps this computer
// from the device, in a box, and for the factory network the question before
// a temporary address (which stays until the wizard closes). Page 4 and the
// plan window ask it the same way.
#include <cstdint>

#include "core/equipamento.h"

class QWidget;

namespace tvx {

void PrepararRedeComPergunta(QWidget* dono, uint32_t acao, const cEquipamento& equipamento);

}  // namespace tvx
