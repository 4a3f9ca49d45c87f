// A plan and a plan's state file as they may come from a technician's disk:
// any bytes. The plan is checked whole; the same bytes read as the state file
// of a small plan, when they are one, must come back unchanged once written
// and read again, or a device's record would drift at every start.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "plano/estado.h"
#include "plano/plano.h"

namespace {

using tvx::fuzz::Exigir;
using namespace tvx::plano;

bool Iguais(const EstadoPlano& a, const EstadoPlano& b) {
    if (a.orfaos != b.orfaos || a.resultados.size() != b.resultados.size()) {
        return false;
    }
    for (size_t i = 0; i < a.resultados.size(); ++i) {
        const ResultadoDispositivo& x = a.resultados[i];
        const ResultadoDispositivo& y = b.resultados[i];
        if (x.estado != y.estado || x.data != y.data || x.hora != y.hora ||
            x.duracao != y.duracao || x.ipLido != y.ipLido || x.mascaraLida != y.mascaraLida ||
            x.gatewayLido != y.gatewayLido || x.leitura != y.leitura ||
            x.ultimaLinha != y.ultimaLinha) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    const std::string_view bytes(reinterpret_cast<const char*>(dados), tamanho);
    Plano plano;
    std::vector<std::string> erros;
    const bool aceito = VerificarPlano(bytes, plano, erros);
    Exigir(aceito == erros.empty(), "a plan accepted with errors, or refused without one");
    Exigir(aceito || plano.dispositivos.empty(), "a refused plan kept devices");

    static const Plano pequeno = [] {
        Plano p;
        std::vector<std::string> e;
        VerificarPlano("modelo;ip\n3;10.0.0.1\n15;10.0.0.2\n", p, e);
        return p;
    }();
    EstadoPlano primeiro;
    std::string erro;
    if (!LerEstadoPlano(bytes, pequeno, primeiro, erro)) {
        return 0;
    }
    // Written once, the text is in the file's code page; from then on it stays.
    EstadoPlano segundo;
    Exigir(LerEstadoPlano(TextoEstadoPlano(pequeno, primeiro), pequeno, segundo, erro),
           "a state file written by the program could not be read back");
    EstadoPlano terceiro;
    const std::string texto = TextoEstadoPlano(pequeno, segundo);
    Exigir(LerEstadoPlano(texto, pequeno, terceiro, erro) && Iguais(segundo, terceiro) &&
               TextoEstadoPlano(pequeno, terceiro) == texto,
           "a state file changed between two writes");
    return 0;
}
