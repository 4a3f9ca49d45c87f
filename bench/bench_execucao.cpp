// Run overhead: how much longer a programming run (with the restart and the
// ten-second countdown) and a read run of a family-10 meter take than the
// pauses and waits the runs themselves prescribe. The device is the
// simulator on the factory address inside an isolated network; the new
// address is routed into nothing, so its echo waits the whole second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/equipamento_bench.h"
#include "bench/rede_confere.h"
#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
#include "sim/simulador.h"

namespace {

using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

// What a run must spend waiting, whatever the code around it costs: the
// 10 ms look for a stop request before each echo, the 250 ms pause after an
// echo that answered, the 1000 ms an unanswered echo waits, the 100 ms pause
// before the restart and the ten one-second steps of the countdown.
constexpr double kEcoRespondido = 10 + 250;
constexpr double kEcoMudo = 10 + 1000;
constexpr double kLeituraMs = kEcoRespondido;
constexpr double kProgramacaoMs = kEcoRespondido + kEcoMudo + 100 + 10 * 1000 + kLeituraMs;

struct Medida {
    std::vector<double> ms;
    size_t linhas = 0;
    bool ok = true;
};

double Executar(tvx::cThreadProgramar& trabalho, tvx::FilaProgresso& fila, uint32_t acao,
                size_t& linhas, std::string& ultima) {
    trabalho.acao = acao;
    const auto inicio = Relogio::now();
    if (!trabalho.Inicia()) {
        return -1;
    }
    // The page's side: lines are taken as they come, as the wizard would.
    while (trabalho.EmExecucao(0)) {
        if (auto l = fila.Retirar(5ms)) {
            ++linhas;
            ultima = l->texto;
        }
        if (Relogio::now() - inicio > 60s) {
            trabalho.Para();
            return -1;
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(Relogio::now() - inicio).count();
    while (auto l = fila.Retirar(20ms)) {
        ++linhas;
        ultima = l->texto;
    }
    return ms;
}

void Relatar(const char* nome, const std::vector<double>& ms, double devido) {
    std::vector<double> v = ms;
    std::sort(v.begin(), v.end());
    double soma = 0;
    for (double x : v) {
        soma += x;
    }
    const double media = soma / v.size();
    std::printf(
        "%-12s runs=%zu mandated=%.0f ms  min=%.1f  median=%.1f  mean=%.1f  max=%.1f ms  "
        "ratio(mean)=%.4f  ratio(max)=%.4f\n",
        nome, v.size(), devido, v.front(), v[v.size() / 2], media, v.back(), media / devido,
        v.back() / devido);
}

}  // namespace

int main(int argc, char** argv) {
    if (!tvx::bench::ExigirRedeIsolada()) {
        return 2;
    }
    const int programacoes = argc > 1 ? std::atoi(argv[1]) : 3;
    const int leituras = argc > 2 ? std::atoi(argv[2]) : 20;

    tvx::sim::Simulador sim(3);
    if (!sim.IniciarTcp("0.0.0.0")) {
        std::fprintf(stderr, "the simulator could not listen\n");
        return 1;
    }
    std::vector<double> prog;
    std::vector<double> leit;
    for (int i = 0; i < programacoes + leituras; ++i) {
        const bool programa = i < programacoes;
        tvx::cEquipamento eq;
        tvx::FilaProgresso fila;
        tvx::cThreadProgramar trabalho(eq);
        trabalho.janela = &fila;
        tvx::bench::PrepararEquipamento(eq);
        size_t linhas = 0;
        std::string ultima;
        const double ms = Executar(trabalho, fila, programa ? tvx::kAcaoProgramar : tvx::kAcaoLer,
                                   linhas, ultima);
        if (ms < 0 || ultima != "Leitura finalizada.") {
            std::fprintf(stderr, "run %d did not end as expected (last line: %s)\n", i,
                         ultima.c_str());
            return 1;
        }
        (programa ? prog : leit).push_back(ms);
    }
    if (!prog.empty()) {
        Relatar("programming", prog, kProgramacaoMs);
    }
    if (!leit.empty()) {
        Relatar("read", leit, kLeituraMs);
    }
    return 0;
}
