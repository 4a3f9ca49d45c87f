#pragma once
// The equipment both benchmarks run against: a TVX5150S (model 3, family 10)
// at the factory address, to be moved to 10.0.0.50, which scripts/bench.sh
// routes into nothing inside its namespace.
#include "core/equipamento.h"

namespace tvx::bench {

inline void PrepararEquipamento(cEquipamento& eq) {
    eq.SetModelo(3);
    eq.CarregaInfoModelo();
    eq.SetMeio(kMeioIpPadrao);
    eq.SetIpProgramacao(kIpFabrica);
    eq.SetIpNovo("10.0.0.50");
    eq.SetMascaraNova("255.255.255.0");
    eq.SetGatewayNovo("10.0.0.1");
    eq.SetRtu(1);
}

}  // namespace tvx::bench
