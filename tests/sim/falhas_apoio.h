#pragma once
// The harness of the fault-injection runs: one case is a whole run against a
// simulated device told to misbehave; it must end with the lines a technician
// is meant to see, within the time-outs, with the link closed and no
// descriptor left behind. Shared by the test_falhas_*.cpp tables.
#include <dirent.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_fluxo_apoio.h"

namespace tvx::teste {

inline constexpr const char* kFalhaProgramacao = "Falha na programação.";
inline constexpr const char* kFalhaRecv = "Falha na recepção (recv).";
inline constexpr const char* kFalhaRun = "Falha";  // the run's line after a failed extra step

// Descriptors open in this process right now.
inline int DescritoresAbertos() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) {
            ++n;
        }
        closedir(d);
    }
    return n;
}

enum class Meio { Tcp, Serial };

struct Caso {
    std::string nome;
    uint32_t modelo;
    Meio meio;
    uint32_t acao;
    std::vector<uint8_t> passos;  // extra steps to tick
    bool alterarIp;               // family 21: the "Alterar IP?" tick
    sim::Falha falha;
    sim::AlvoFalha alvo;
    Linhas esperadas;
    std::chrono::milliseconds limite;           // the run must end within this
    std::function<void(cEquipamento&)> ajuste;  // values the device must accept, if any
};

// A programming run on the factory address up to the first exchange, the
// new address answering nothing.
inline Linhas ProgTcp() {
    return {kBanner, kIniciada, kVerificando, Eco(kIpFabrica), kFalhaEco, kConectando};
}
// On the serial medium only the new address is pinged.
inline Linhas ProgSerial() {
    return {kBanner, kIniciada, kFalhaEco, kConectando};
}
inline Linhas LeTcp() {
    return {kBanner, kLeituraIniciada, Eco(kIpFabrica)};
}
inline Linhas LeSerial() {
    return {kBanner, kLeituraIniciada};
}

// Runs one case in the isolated network and checks lines, time, link and
// descriptors.
inline void Executar(RedeIsolada& rede, const Caso& c) {
    SCOPED_TRACE(c.nome);
    const int antes = DescritoresAbertos();
    {
        sim::Simulador sim(c.modelo);
        std::string porta;
        if (c.meio == Meio::Tcp) {
            ASSERT_TRUE(sim.IniciarTcp("0.0.0.0"));
        } else {
            porta = sim.IniciarSerial();
            ASSERT_FALSE(porta.empty());
        }
        sim.DefinirFalha(c.falha, c.alvo);
        Bancada b(&rede);
        b.Modelo(c.modelo, c.meio == Meio::Tcp ? kMeioIpPadrao : kMeioSerial);
        if (c.meio == Meio::Tcp && !b.eq.PermiteIpDefault()) {
            b.eq.SetMeio(kMeioEsteIp);  // model 25 is reached on a typed address
        }
        if (c.meio == Meio::Serial) {
            b.eq.SetPorta(porta);
        }
        for (uint8_t p : c.passos) {
            b.Marcar(p);
        }
        if (c.alterarIp) {
            b.eq.infoModelo.alterarIp = 1;
        }
        if (c.ajuste) {
            c.ajuste(b.eq);
        }
        const auto inicio = RelogioTeste::now();
        const auto linhas = b.Executar(c.acao, {}, std::chrono::seconds(90));
        const auto duracao = RelogioTeste::now() - inicio;
        // "*" stands for a line whose content depends on the device's state.
        Linhas esperadas = c.esperadas;
        for (size_t i = 0; i < esperadas.size() && i < linhas.size(); ++i) {
            if (esperadas[i] == "*") {
                esperadas[i] = linhas[i].texto;
            }
        }
        EXPECT_TRUE(SequenciaIgual(esperadas, linhas));
        EXPECT_LE(duracao, c.limite)
            << std::chrono::duration_cast<std::chrono::milliseconds>(duracao).count() << " ms";
        EXPECT_FALSE(b.trabalhador.EmExecucao(0));
        EXPECT_FALSE(b.eq.canal.Socket() && b.eq.canal.Socket()->IsValid()) << "TCP link left open";
        EXPECT_FALSE(b.eq.canal.SerialAberta()) << "serial port left open";
    }
    EXPECT_EQ(antes, DescritoresAbertos()) << "descriptors leaked";
}

inline void ExecutarTabela(const std::vector<Caso>& casos) {
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        PrepararRede(rede);
        for (const Caso& c : casos) {
            Executar(rede, c);
        }
    });
}

inline constexpr auto kRapido = std::chrono::milliseconds(8000);  // pings and pauses, no time-out
inline Caso Linha(std::string nome, uint32_t modelo, Meio meio, uint32_t acao, sim::Falha falha,
                  sim::AlvoFalha alvo, Linhas esperadas, std::chrono::milliseconds limite = kRapido,
                  std::vector<uint8_t> passos = {}, bool alterarIp = false,
                  std::function<void(cEquipamento&)> ajuste = {}) {
    return {std::move(nome),
            modelo,
            meio,
            acao,
            std::move(passos),
            alterarIp,
            falha,
            alvo,
            std::move(esperadas),
            limite,
            std::move(ajuste)};
}

inline const sim::AlvoFalha kL22{'L', 22};
inline const sim::AlvoFalha kL31{'L', 31};
inline const sim::AlvoFalha kBloco{{}, {}, {}, true};
inline const sim::AlvoFalha kReg1282{{}, {}, 1282};

}  // namespace tvx::teste
