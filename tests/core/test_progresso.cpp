// Progress lines from the worker to the page: the registered number, the two
// forms of a line, and the queue that receives them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/progresso.h"

namespace tvx {
namespace {

using std::chrono::milliseconds;

TEST(Progresso, SoChegaOQueTemJanelaTextoENumeroNasDuasFormas) {
    const uint32_t msg = MensagemIncluirProcesso();
    EXPECT_GE(msg, 0xC000u);
    EXPECT_EQ(RegistrarMensagem("wm_incluir_processo"), msg);
    EXPECT_EQ(RegistrarMensagem(""), 0u);
    const uint32_t alheia = RegistrarMensagem("TVX_ALHEIA");
    EXPECT_NE(alheia, msg);
    EXPECT_EQ(RegistrarMensagem("tvx_alheia"), alheia);  // names fold to lower case

    FilaProgresso fila;
    EXPECT_FALSE(PostarTexto(nullptr, msg, "OK") || PostarTextoFixo(nullptr, msg, "OK"));
    EXPECT_FALSE(PostarTextoFixo(&fila, msg, nullptr) || PostarTexto(&fila, alheia, "alheia"));
    std::string texto = "Ping 192.168.0.101 OK\r\nTempo: 1ms";
    EXPECT_TRUE(PostarTexto(&fila, msg, texto));
    texto.assign("mudado depois");
    EXPECT_TRUE(PostarTextoFixo(&fila, msg, "Programação iniciada..."));
    EXPECT_TRUE(PostarTexto(&fila, msg, ""));  // still a line at this level
    for (const auto& [esperado, fixo] : {std::pair{"Ping 192.168.0.101 OK\r\nTempo: 1ms", false},
                                         {"Programação iniciada...", true},
                                         {"", false}}) {
        const auto linha = fila.Retirar(milliseconds(0));
        ASSERT_TRUE(linha.has_value());
        EXPECT_EQ(linha->texto, esperado);
        EXPECT_EQ(linha->fixo, fixo);
    }
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(fila.Retirar(milliseconds(150)).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, milliseconds(145));
}

}  // namespace
}  // namespace tvx
