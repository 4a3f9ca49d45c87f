#pragma once
// The harness of the fault-injection runs: one case is a whole run against a
// simulated device told to misbehave; it must end with the lines a technician
// is meant to see, within the time-outs, with the link closed, every line in
// the log and no descriptor left behind. Used by test_falhas_matriz.cpp.
#include <dirent.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "persistence/log.h"
#include "support/log_lido.h"
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

// A log file of its own for one case, in a folder removed afterwards.
class LogDoCaso {
  public:
    LogDoCaso() {
        std::string modelo = (std::filesystem::temp_directory_path() / "tvxfalha.XXXXXX").string();
        if (mkdtemp(modelo.data()) != nullptr) {
            pasta_ = modelo;
            log_.DefinirArquivo(pasta_ + "/tvxnetcfg.log");
        }
    }
    ~LogDoCaso() {
        std::error_code erro;
        std::filesystem::remove_all(pasta_, erro);
    }
    LogDoCaso(const LogDoCaso&) = delete;
    LogDoCaso& operator=(const LogDoCaso&) = delete;

    // As the programming page adds a line: on screen, then in the log.
    void Adicionar(const std::string& linha) {
        mostrado_ += ComoTerminal(linha);
        log_.Escrever(linha);
    }
    void Conferir() const {
        ASSERT_FALSE(pasta_.empty()) << "no folder for the log";
        const LogLido lido = LerLog(LerArquivo(log_.Arquivo()));
        EXPECT_TRUE(lido.crlf);
        EXPECT_EQ(mostrado_, lido.texto) << "the log does not hold what the page showed";
    }

  private:
    std::string pasta_;
    cLog log_;
    std::string mostrado_;
};

// Runs one case in the isolated network and checks lines, time, link and log.
inline void Executar(RedeIsolada& rede, const Caso& c) {
    SCOPED_TRACE(c.nome);
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
    LogDoCaso log;
    const auto inicio = RelogioTeste::now();
    const auto linhas = b.Executar(
        c.acao, [&](const LinhaRecebida& l) { log.Adicionar(l.texto); }, std::chrono::seconds(90));
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
    log.Conferir();
}

// Runs the cases side by side, each in an isolated network of its own: most
// of a case's time is spent waiting for time-outs, pauses and echoes. The
// descriptors are counted before the first case and after the last.
inline void ExecutarLadoALado(const std::vector<Caso>& casos, size_t simultaneos = 12) {
    const int antes = DescritoresAbertos();
    std::atomic<size_t> proximo{0};
    std::atomic<bool> semRede{false};
    std::mutex mutexMotivo;
    std::string motivo;
    std::vector<std::thread> fios;
    for (size_t i = 0; i < std::min(simultaneos, casos.size()); ++i) {
        fios.emplace_back([&] {
            for (size_t k = proximo++; k < casos.size() && !semRede; k = proximo++) {
                std::string porque;
                const bool executou = ExecutarEmRedeIsolada(
                    [&](RedeIsolada& rede) {
                        PrepararRede(rede);
                        if (!::testing::Test::HasFatalFailure()) {
                            Executar(rede, casos[k]);
                        }
                    },
                    &porque);
                if (!executou) {
                    std::lock_guard<std::mutex> trava(mutexMotivo);
                    motivo = porque;
                    semRede = true;
                }
            }
        });
    }
    for (std::thread& f : fios) {
        f.join();
    }
    if (semRede) {
        GTEST_SKIP() << "isolated network namespace unavailable: " << motivo;
    }
    EXPECT_EQ(antes, DescritoresAbertos()) << "descriptors leaked";
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

}  // namespace tvx::teste
