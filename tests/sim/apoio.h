#pragma once
// The whole runs against the simulator: the equipment object, its worker and
// the queue that plays the programming page, inside an isolated network where
// the simulator stands in for the device; the lines a run shows; and the
// runner that takes many runs side by side, each in a network of its own.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/thread_programar.h"
#include "persistence/log.h"
#include "sim/falhas.h"
#include "sim/simulador.h"
#include "support/log_lido.h"
#include "support/rede_isolada.h"

namespace tvx::teste {

using namespace std::chrono_literals;
using Linhas = std::vector<std::string>;

inline constexpr const char* kBanner = "TVXNetCfg - v19.1.3";
inline constexpr const char* kIniciada = "Programação iniciada...";
inline constexpr const char* kVerificando =
    "Verificando se o IP de programação está presente na rede...";
inline constexpr const char* kConectando = "Conectando no equipamento...";
inline constexpr const char* kEnviandoIp = "Enviando programação de IP...";
inline constexpr const char* kLeituraIniciada = "Leitura iniciada...";
inline constexpr const char* kReconectando = "Reconectando no equipamento...";
inline constexpr const char* kFinalizada = "Programação finalizada.";
inline constexpr const char* kIpOk = "Programação de IP OK.";
inline constexpr const char* kReiniciado = "Equipamento reiniciado.Aguardando retorno do reset..";
inline constexpr const char* kFalhaEco = "Ping falhou: 11010";
inline constexpr const char* kIpNovoMudo = "10.0.0.50";  // routed into nothing until assigned

inline Linhas operator+(Linhas a, const Linhas& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The answer line of one 32-byte echo from ip; its round trip reads "N".
inline std::string Eco(const std::string& ip) {
    return "Ping recebido de " + ip + " ,Status=0 ,Tempo:N ms ,Bytes:32";
}

// Without std::regex: the cases of a table run side by side, and compiling a
// regex on several threads at once races inside libstdc++'s locale cache.
// An expected "*" stands for a line whose content depends on the device's
// state.
inline ::testing::AssertionResult SequenciaIgual(const Linhas& esperadas, Linhas linhas) {
    for (size_t i = 0; i < linhas.size(); ++i) {
        const size_t tempo = linhas[i].find(" ,Tempo:");
        const size_t ms = linhas[i].find(" ms ,Bytes:32", tempo);
        if (tempo != std::string::npos && ms != std::string::npos && ms > tempo + 8 &&
            linhas[i].substr(tempo + 8, ms - tempo - 8).find_first_not_of("0123456789") ==
                std::string::npos) {
            linhas[i].replace(tempo + 8, ms - tempo - 8, "N");
        }
        if (i < esperadas.size() && esperadas[i] == "*") {
            linhas[i] = "*";
        }
    }
    if (esperadas == linhas) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "\nexpected " << ::testing::PrintToString(esperadas)
                                         << "\n     got " << ::testing::PrintToString(linhas);
}

class Bancada {
  public:
    cEquipamento eq;
    FilaProgresso fila;
    cThreadProgramar trabalhador{eq};

    // The device sits at the factory address; the new address answers
    // nothing until a test assigns it.
    explicit Bancada(uint32_t modelo, uint32_t meio = kMeioIpPadrao) {
        trabalhador.janela = &fila;
        eq.SetIpProgramacao(kIpFabrica);
        eq.SetIpNovo(kIpNovoMudo);
        eq.SetMascaraNova("255.255.255.0");
        eq.SetGatewayNovo("10.0.0.1");
        eq.SetRtu(1);
        eq.SetModelo(modelo);
        EXPECT_TRUE(eq.CarregaInfoModelo());
        eq.SetMeio(meio);
    }

    // Ticks the slot that holds this extra step.
    void Marcar(uint8_t passo) {
        for (PassoModelo& p : eq.infoModelo.passos) {
            if (p.id == passo) {
                p.marcado = 1;
                return;
            }
        }
        ADD_FAILURE() << "the model has no step " << int(passo);
    }

    // Runs one action on the worker, hands each line to aoChegar as it
    // arrives, and returns every line once the run has ended.
    Linhas Executar(uint32_t acao, const std::function<void(const std::string&)>& aoChegar = {}) {
        Linhas linhas;
        trabalhador.acao = acao;
        if (!trabalhador.Inicia()) {
            ADD_FAILURE() << "the worker did not start";
            return linhas;
        }
        const auto fim = std::chrono::steady_clock::now() + 90s;
        for (bool ativo = true; ativo;) {
            ativo = trabalhador.EmExecucao(0);
            if (ativo && std::chrono::steady_clock::now() > fim) {
                ADD_FAILURE() << "the run did not end within 90 s";
                trabalhador.Para();
            }
            while (auto linha = fila.Retirar(ativo ? 10ms : 20ms)) {
                linhas.push_back(linha->texto);
                if (aoChegar) {
                    aoChegar(linhas.back());
                }
            }
        }
        return linhas;
    }
};

// The configuration text the simulated device answers to 'L' 31, as the
// read routine hands it on.
inline std::string TextoConfiguracao(const std::string& nome, const std::string& ip,
                                     const std::string& mascara, const std::string& gateway,
                                     uint32_t modelo) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "02:B4:6D:00:%02X:65", static_cast<unsigned>(modelo));
    return nome + "\r\nIP: " + ip + "\r\nMask: " + mascara + "\r\nGateway: " + gateway +
           "\r\nMAC: " + mac + "\r\nRTU: 1\r\n";
}

// The family-21 read text: the programming part and the measurements.
inline std::string TextoRegistros(const std::string& ip, uint16_t entradas, uint16_t saidas) {
    std::string t = "\r\nProgramação ativa:\r\n";
    for (int i = 1; i <= 16; ++i) {
        t += "E" + std::to_string(i) + ":Ativa em:" + ((entradas >> (i - 1) & 1) ? "1" : "0") +
             "\r\n";
    }
    for (int i = 1; i <= 4; ++i) {
        t += "Saída " + std::to_string(i) + ":" +
             ((saidas >> (i - 1) & 1) ? "(1) Biestável" : "(0) Monoestável") + "\r\n";
    }
    return t + "IP:" + ip +
           "\r\nMedição:\r\nIACS:4.125\r\nIDC:1.750\r\nVFN:127.250\r\nVNT:0.500\r\n"
           "VDC:125.125\r\nTEMP1:31.500\r\nTEMP2:29.750\r\n";
}

// The closing lines of a read run that showed the addresses it read.
inline Linhas FimLeitura(const std::string& ip, const std::string& mascara,
                         const std::string& gateway, const std::string& texto,
                         const std::string& aviso = "") {
    return {aviso + "IP:" + ip,   "MASK:" + mascara, "GW:" + gateway, "INFORMAÇÃO EXTRA", texto,
            "Leitura finalizada."};
}

// The usual isolated network: the device at the factory address, and the
// new address's network routed into nothing.
inline void PrepararRede(RedeIsolada& rede) {
    ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
    ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
}

// Runs the bodies side by side, in their order, each in an isolated network
// of its own: most of a run's time is spent waiting for time-outs, pauses and
// echoes. The descriptors are counted before and after.
inline void ExecutarLadoALado(const std::vector<std::function<void(RedeIsolada&)>>& corpos,
                              size_t simultaneos) {
    const auto descritores = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto antes = descritores();
    std::atomic<size_t> proximo{0};
    std::atomic<bool> semRede{false};
    std::mutex mutexMotivo;
    std::string motivo;
    std::vector<std::thread> fios;
    for (size_t i = 0; i < std::min(simultaneos, corpos.size()); ++i) {
        fios.emplace_back([&] {
            for (size_t k = proximo++; k < corpos.size() && !semRede; k = proximo++) {
                std::string porque;
                if (!ExecutarEmRedeIsolada(corpos[k], &porque)) {
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
    EXPECT_EQ(antes, descritores()) << "descriptors leaked";
}

}  // namespace tvx::teste
