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
    EXPECT_EQ(MensagemIncluirProcesso(), progresso);
    EXPECT_EQ(RegistrarMensagem("WM_INCLUIR_PROCESSO"), progresso);
    // Registered names do not depend on case, as on the platform.
    EXPECT_EQ(RegistrarMensagem("wm_incluir_processo"), progresso);

    const uint32_t outra = RegistrarMensagem("TVX_OUTRA_MENSAGEM");
    EXPECT_GE(outra, 0xC000u);
    EXPECT_NE(outra, progresso);
    EXPECT_EQ(RegistrarMensagem("TVX_OUTRA_MENSAGEM"), outra);
    EXPECT_EQ(RegistrarMensagem(""), 0u);
}

TEST(Progresso, RegistroConcorrenteDaOMesmoNumero) {
    std::vector<uint32_t> numeros(8, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < numeros.size(); ++i) {
        threads.emplace_back([&numeros, i] { numeros[i] = RegistrarMensagem("TVX_CONCORRENTE"); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const uint32_t n : numeros) {
        EXPECT_EQ(n, numeros[0]);
        EXPECT_GE(n, 0xC000u);
    }
}

TEST(Progresso, FormasFixaEDinamica) {
    FilaProgresso fila;
    const uint32_t msg = MensagemIncluirProcesso();
    std::string texto = "Ping 192.168.0.101 OK\r\nTempo: 1ms";
    EXPECT_TRUE(PostarTexto(&fila, msg, texto));
    // The dynamic form is a copy: later changes to the sender's text do not
    // reach the line.
    texto.assign("mudado");
    EXPECT_TRUE(PostarTextoFixo(&fila, msg, "Programação iniciada..."));
    // An empty text is still a line at this level.
    EXPECT_TRUE(PostarTexto(&fila, msg, ""));

    auto linha = fila.Retirar(milliseconds(0));
    ASSERT_TRUE(linha.has_value());
    EXPECT_EQ(linha->texto, "Ping 192.168.0.101 OK\r\nTempo: 1ms");
    EXPECT_FALSE(linha->fixo);
    linha = fila.Retirar(milliseconds(0));
    ASSERT_TRUE(linha.has_value());
    EXPECT_EQ(linha->texto, "Programação iniciada...");
    EXPECT_TRUE(linha->fixo);
    linha = fila.Retirar(milliseconds(0));
    ASSERT_TRUE(linha.has_value());
    EXPECT_EQ(linha->texto, "");
    EXPECT_FALSE(fila.Retirar(milliseconds(0)).has_value());

    const std::vector<std::string> esperado = {"Ping 192.168.0.101 OK\r\nTempo: 1ms",
                                               "Programação iniciada...", ""};
    EXPECT_EQ(fila.Textos(), esperado);
}

TEST(Progresso, SemJanelaOuSemTextoNadaEPostado) {
    const uint32_t msg = MensagemIncluirProcesso();
    EXPECT_FALSE(PostarTexto(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(nullptr, msg, "OK"));

    FilaProgresso fila;
    EXPECT_FALSE(PostarTextoFixo(&fila, msg, nullptr));
    EXPECT_TRUE(fila.Textos().empty());
}

TEST(Progresso, FilaGuardaSoAMensagemDeProgresso) {
    FilaProgresso fila;
    EXPECT_FALSE(PostarTexto(&fila, RegistrarMensagem("TVX_ALHEIA"), "alheia"));
    EXPECT_FALSE(PostarTexto(&fila, 0, "zero"));
    EXPECT_TRUE(PostarTexto(&fila, MensagemIncluirProcesso(), "nossa"));
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
    // Lines are taken while they are still being posted.
    std::vector<int> proxima(kThreads, 0);
    int recebidas = 0;
    while (recebidas < kThreads * kLinhas) {
        auto linha = fila.Retirar(milliseconds(5000));
        ASSERT_TRUE(linha.has_value()) << "after " << recebidas << " lines";
        const size_t doisPontos = linha->texto.find(':');
        ASSERT_NE(doisPontos, std::string::npos);
        const int t = std::stoi(linha->texto.substr(0, doisPontos));
        const int i = std::stoi(linha->texto.substr(doisPontos + 1));
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(i, proxima[static_cast<size_t>(t)]);
        proxima[static_cast<size_t>(t)] = i + 1;
        ++recebidas;
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(fila.Textos().size(), static_cast<size_t>(kThreads * kLinhas));
    EXPECT_FALSE(fila.Retirar(milliseconds(0)).has_value());
}

TEST(Progresso, RetirarEsperaAteOLimite) {
    FilaProgresso fila;
    auto inicio = Relogio::now();
    EXPECT_FALSE(fila.Retirar(milliseconds(150)).has_value());
    const auto esperou = Relogio::now() - inicio;
    EXPECT_GE(esperou, milliseconds(145));
    EXPECT_LT(esperou, milliseconds(2000));

    std::thread postador([&fila] {
        std::this_thread::sleep_for(milliseconds(60));
        PostarTextoFixo(&fila, MensagemIncluirProcesso(), "OK");
    });
    inicio = Relogio::now();
    const auto linha = fila.Retirar(milliseconds(5000));
    const auto ate = Relogio::now() - inicio;
    postador.join();
    ASSERT_TRUE(linha.has_value());
    EXPECT_EQ(linha->texto, "OK");
    EXPECT_LT(ate, milliseconds(4000));
}

}  // namespace
}  // namespace tvx
