// Progress lines from the worker to the page: the registered number, the two
// forms of a line, and the queue that receives them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/progresso.h"

namespace tvx {
namespace {

using std::chrono::milliseconds;
using Relogio = std::chrono::steady_clock;

TEST(Progresso, RegistroEstavelEDistinto) {
    const uint32_t progresso = MensagemIncluirProcesso();
    EXPECT_GE(progresso, 0xC000u);
    EXPECT_LE(progresso, 0xFFFFu);
    EXPECT_EQ(RegistrarMensagem("WM_INCLUIR_PROCESSO"), progresso);
    EXPECT_EQ(RegistrarMensagem("wm_incluir_processo"), progresso);
    EXPECT_EQ(RegistrarMensagem(""), 0u);

    std::vector<uint32_t> outras(6, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < outras.size(); ++i) {
        threads.emplace_back([&outras, i] { outras[i] = RegistrarMensagem("TVX_OUTRA"); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const uint32_t n : outras) {
        EXPECT_EQ(n, outras[0]);
    }
    EXPECT_GE(outras[0], 0xC000u);
    EXPECT_NE(outras[0], progresso);
}

TEST(Progresso, FormasFixaEDinamica) {
    FilaProgresso fila;
    const uint32_t msg = MensagemIncluirProcesso();
    std::string texto = "Ping 192.168.0.101 OK\r\nTempo: 1ms";
    EXPECT_TRUE(PostarTexto(&fila, msg, texto));
    texto.assign("mudado depois");
    EXPECT_TRUE(PostarTextoFixo(&fila, msg, "Programação iniciada..."));
    // An empty text is still a line at this level.
    EXPECT_TRUE(PostarTexto(&fila, msg, ""));

    const struct {
        const char* texto;
        bool fixo;
    } esperadas[] = {{"Ping 192.168.0.101 OK\r\nTempo: 1ms", false},
                     {"Programação iniciada...", true},
                     {"", false}};
    for (const auto& e : esperadas) {
        const auto linha = fila.Retirar(milliseconds(0));
        ASSERT_TRUE(linha.has_value());
        EXPECT_EQ(linha->texto, e.texto);
        EXPECT_EQ(linha->fixo, e.fixo);
    }
    EXPECT_FALSE(fila.Retirar(milliseconds(0)).has_value());
    EXPECT_EQ(fila.Textos().size(), 3u);
}

TEST(Progresso, SoChegaOQueTemJanelaTextoENumero) {
    const uint32_t msg = MensagemIncluirProcesso();
    EXPECT_FALSE(PostarTexto(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(nullptr, msg, "OK"));
    FilaProgresso fila;
    EXPECT_FALSE(PostarTextoFixo(&fila, msg, nullptr));
    EXPECT_FALSE(PostarTexto(&fila, RegistrarMensagem("TVX_ALHEIA"), "alheia"));
    EXPECT_FALSE(PostarTexto(&fila, 0, "zero"));
    EXPECT_TRUE(PostarTexto(&fila, msg, "nossa"));
    EXPECT_EQ(fila.Textos(), std::vector<std::string>{"nossa"});
}

TEST(Progresso, LinhasDeVariasThreadsNaOrdemDeCadaUma) {
    FilaProgresso fila;
    const uint32_t msg = MensagemIncluirProcesso();
    constexpr int kThreads = 4;
    constexpr int kLinhas = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&fila, msg, t] {
            for (int i = 0; i < kLinhas; ++i) {
                PostarTexto(&fila, msg, std::to_string(t) + ":" + std::to_string(i));
            }
        });
    }
    // Taken while still being posted.
    std::vector<int> proxima(kThreads, 0);
    for (int recebidas = 0; recebidas < kThreads * kLinhas; ++recebidas) {
        const auto linha = fila.Retirar(milliseconds(5000));
        ASSERT_TRUE(linha.has_value()) << "after " << recebidas << " lines";
        const size_t t = static_cast<size_t>(std::stoi(linha->texto));
        ASSERT_LT(t, proxima.size());
        EXPECT_EQ(linha->texto.substr(linha->texto.find(':') + 1), std::to_string(proxima[t]));
        ++proxima[t];
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_FALSE(fila.Retirar(milliseconds(0)).has_value());
}

TEST(Progresso, RetirarEsperaAteOLimite) {
    FilaProgresso fila;
    auto inicio = Relogio::now();
    EXPECT_FALSE(fila.Retirar(milliseconds(150)).has_value());
    EXPECT_GE(Relogio::now() - inicio, milliseconds(145));

    std::thread postador([&fila] {
        std::this_thread::sleep_for(milliseconds(60));
        PostarTextoFixo(&fila, MensagemIncluirProcesso(), "OK");
    });
    inicio = Relogio::now();
    const auto linha = fila.Retirar(milliseconds(5000));
    EXPECT_LT(Relogio::now() - inicio, milliseconds(4000));
    postador.join();
    ASSERT_TRUE(linha.has_value());
    EXPECT_EQ(linha->texto, "OK");
}

}  // namespace
}  // namespace tvx
