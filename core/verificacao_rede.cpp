// Reachability checks of the runs: a counted series of ICMP echoes to one
// address, optionally followed by a sweep of growing echo sizes.
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "core/thread_programar.h"
#include "core/utilitarios.h"

namespace tvx {

namespace {

constexpr uint16_t kTamanhoEcoContado = 32;
constexpr uint32_t kTempoLimiteEcoMs = 1000;
constexpr uint32_t kEsperaParadaMs = 10;
constexpr auto kPausaAposResposta = std::chrono::milliseconds(250);
constexpr auto kPausaAposRespostaVarredura = std::chrono::milliseconds(125);
constexpr uint16_t kPassoVarredura = 64;

// Integer conversions only, so the text never depends on the process locale.
std::string LinhaResposta(const RespostaEco& resposta) {
    return "Ping recebido de " + IpParaTexto(resposta.endereco, true) +
           " ,Status=" + std::to_string(static_cast<long>(resposta.status)) +
           " ,Tempo:" + std::to_string(static_cast<long>(resposta.tempoMs)) +
           " ms ,Bytes:" + std::to_string(static_cast<int>(resposta.tamanhoDados));
}

std::string LinhaFalha() {
    return "Ping falhou: " + std::to_string(UltimoErroPing());
}

}  // namespace

bool cThreadProgramar::PingarSerie(const std::string& ip, int quantidade, bool varredura) {
    // The technician moves devices between addresses: a stale hardware
    // address would make the first echo go to the wrong box. Failure to
    // remove it changes nothing for the series.
    (void)RemoverArp(ip);
    const uint32_t destino = TextoParaIp(ip);

    for (int i = 0; i < quantidade; ++i) {
        if (DeveParar(kEsperaParadaMs)) {
            return false;
        }
        RespostaEco resposta;
        if (!Pingar(destino, resposta, kTamanhoEcoContado, kTempoLimiteEcoMs)) {
            PostarCopia(LinhaFalha());
            return false;
        }
        PostarCopia(LinhaResposta(resposta));
        std::this_thread::sleep_for(kPausaAposResposta);
    }
    if (!varredura) {
        return true;
    }

    // Large echoes are fragmented: the sweep shows where a link starts to
    // lose them, so a lost one is reported and the sweep goes on.
    for (uint32_t tamanho = kPassoVarredura; tamanho <= kTamanhoMaximoEco;
         tamanho += kPassoVarredura) {
        if (DeveParar(kEsperaParadaMs)) {
            return false;
        }
        RespostaEco resposta;
        if (Pingar(destino, resposta, static_cast<uint16_t>(tamanho), kTempoLimiteEcoMs)) {
            PostarCopia(LinhaResposta(resposta));
            std::this_thread::sleep_for(kPausaAposRespostaVarredura);
        } else {
            PostarCopia(LinhaFalha());
        }
    }
    return true;
}

}  // namespace tvx
