#include "sim/perfil.h"

#include <algorithm>
#include <initializer_list>

#include "core/catalogo.h"
#include "sim/simulador.h"

namespace tvx::sim {

namespace {

bool Entre(uint32_t modelo, std::initializer_list<uint32_t> modelos) {
    return std::find(modelos.begin(), modelos.end(), modelo) != modelos.end();
}

}  // namespace

bool Perfil::TemPasso(uint8_t id) const {
    return std::find(passos.begin(), passos.end(), id) != passos.end();
}

uint16_t PortaDoModelo(uint32_t modelo) {
    if (modelo == 6 || modelo == 17) {
        return 5006;
    }
    if (modelo == 7) {
        return 5007;
    }
    if (modelo == 30) {
        return 502;
    }
    return 5003;
}

Perfil PerfilDoModelo(uint32_t modelo) {
    Perfil perfil;
    perfil.modelo = modelo;
    perfil.porta = PortaDoModelo(modelo);
    if (Entre(modelo, {1, 6, 7, 17, 18})) {
        perfil.tipoQuadro = kRespostaSimples;
    } else if (Entre(modelo, {2, 22, 23, 24, 25, 29, 31, 33, 34})) {
        perfil.tipoQuadro = kRespostaDleCurta;
    } else if (modelo == 30) {
        perfil.tipoQuadro = kRespostaModbus;
    }
    InfoModelo info;
    if (ObtemInfoModelo(modelo, info)) {
        perfil.familia = info.familia;
        perfil.nome = info.nome ? info.nome : "";
        for (const PassoModelo& passo : info.passos) {
            if (passo.id != 0) {
                perfil.passos.push_back(passo.id);
            }
        }
    }
    return perfil;
}

}  // namespace tvx::sim
