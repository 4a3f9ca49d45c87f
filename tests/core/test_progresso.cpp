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

TEST(Progresso, SoChegaOQueTemJanelaTextoENumeroNasDuasFormas) {
    const uint32_t msg = MensagemIncluirProcesso();
    EXPECT_GE(msg, 0xC000u);
    EXPECT_LE(msg, 0xFFFFu);
    EXPECT_EQ(RegistrarMensagem("wm_incluir_processo"), msg);
    EXPECT_EQ(RegistrarMensagem(""), 0u);
    const uint32_t alheia = RegistrarMensagem("TVX_ALHEIA");
    EXPECT_GE(alheia, 0xC000u);
    EXPECT_NE(alheia, msg);
    EXPECT_EQ(RegistrarMensagem("tvx_alheia"), alheia);  // names fold to lower case

    FilaProgresso fila;
    EXPECT_FALSE(PostarTexto(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(&fila, msg, nullptr));
    EXPECT_FALSE(PostarTexto(&fila, alheia, "alheia"));
    EXPECT_FALSE(PostarTexto(&fila, 0, "zero"));
    std::string texto = "Ping 192.168.0.101 OK\r\nTempo: 1ms";
    EXPECT_TRUE(PostarTexto(&fila, msg, texto));
    texto.assign("mudado depois");
    EXPECT_TRUE(PostarTextoFixo(&fila, msg, "Programação iniciada..."));
    EXPECT_TRUE(PostarTexto(&fila, msg, ""));  // still a line at this level
    const std::pair<const char*, bool> esperadas[] = {
        {"Ping 192.168.0.101 OK\r\nTempo: 1ms", false},
        {"Programação iniciada...", true},
        {"", false}};
    for (const auto& [texto, fixo] : esperadas) {
        const auto linha = fila.Retirar(milliseconds(0));
        ASSERT_TRUE(linha.has_value());
        EXPECT_EQ(linha->texto, texto);
        EXPECT_EQ(linha->fixo, fixo);
    }
    EXPECT_EQ(fila.Textos().size(), 3u);
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(fila.Retirar(milliseconds(150)).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, milliseconds(145));
}

TEST(Progresso, LinhasDeVariasThreadsNaOrdemDeCadaUma) {
    FilaProgresso fila;
    constexpr int kThreads = 4;
    constexpr int kLinhas = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&fila, t] {
            for (int i = 0; i < kLinhas; ++i) {
                PostarTexto(&fila, MensagemIncluirProcesso(),
                            std::to_string(t) + ":" + std::to_string(i));
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
        EXPECT_EQ(linha->texto.substr(linha->texto.find(':') + 1), std::to_string(proxima[t]++));
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_FALSE(fila.Retirar(milliseconds(0)).has_value());
}

}  // namespace
}  // namespace tvx
