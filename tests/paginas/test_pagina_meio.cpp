// The model and medium pages: the lists they show and the refusal a model
// without data gets. What each medium shows for a model is the catalogue's
// (tests/core) and the wizard's (tests/ui).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "avisos_gravados.h"
#include "core/catalogo.h"
#include "paginas/pagina_meio.h"
#include "paginas/pagina_modelo.h"

namespace tvx {
namespace {

using namespace teste;

TEST(ListasDasPaginas, ModelosVelocidadesRtusEPortas) {
    const std::vector<EntradaModelo> modelos = ListaModelos();
    const std::vector<uint32_t> ordem = {34, 33, 10, 18, 14, 4,  13, 9,  19, 27, 28, 1,
                                         16, 21, 20, 2,  24, 23, 29, 25, 22, 31, 26, 3,
                                         5,  12, 7,  17, 11, 6,  15, 8,  32, 30};
    ASSERT_EQ(modelos.size(), ordem.size());
    for (size_t i = 0; i < modelos.size(); ++i) {  // in alphabetical order
        std::string nome;
        ASSERT_TRUE(ObtemNomeModelo(ordem[i], nome));
        EXPECT_EQ(modelos[i].indice, ordem[i]) << i;
        EXPECT_EQ(modelos[i].nome, nome);
        EXPECT_EQ(PosicaoDoModelo(modelos, ordem[i]), i);
    }
    EXPECT_FALSE(PosicaoDoModelo(modelos, 0) ||
                 PosicaoDoModelo(modelos, 35));  // "Nenhum" is never listed
    const std::pair<const char*, uint32_t> velocidades[] = {
        {"4800", 5}, {"9600", 6}, {"19200", 8}, {"38400", 9}};
    ASSERT_EQ(ListaVelocidades().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ListaVelocidades()[i].texto, velocidades[i].first);
        EXPECT_EQ(ListaVelocidades()[i].dado, velocidades[i].second);
        EXPECT_EQ(PosicaoVelocidade(static_cast<uint8_t>(velocidades[i].second)), i);
    }
    EXPECT_FALSE(PosicaoVelocidade(7) || PosicaoVelocidade(15));  // 14400; no rate at all
    const auto rtus = ListaRtus();
    ASSERT_EQ(rtus.size(), 256u);
    EXPECT_EQ(rtus[7].texto + rtus[255].texto, "007255");
    EXPECT_EQ(rtus[255].dado, 255u);
    const std::vector<std::string> portas = {"COM1", "COM10", "COM2"};
    EXPECT_EQ(PrimeiraComPrefixo(portas, "com10"), 1u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, "COM2"), 2u);
    EXPECT_FALSE(PrimeiraComPrefixo(portas, "COM100"));
    AvisosGravados avisos;
    const std::string ausente = "/tmp/tvx-sem-esta-pasta/sys/class/tty";
    EXPECT_TRUE(ListaPortas(avisos, ausente).empty());
    EXPECT_FALSE(EscolherModelo(EquipamentoGlobal(), 35u, avisos));
    EXPECT_EQ(avisos.vistos,
              (Avisos{Erro("Could not read from " + ausente + ": No such file or directory"),
                      Erro("Equipamento não possui informações para configuração.")}));
}

// A Windows profile's COM3 opens ttyS2: that entry is selected, and Next keeps
// the stored name unless another entry is picked; a port that is not listed
// selects nothing (not ttyS10 for ttyS1) and is never erased.
TEST(PortaDoPerfil, SelecionadaPeloDispositivoEGuardada) {
    const std::vector<std::string> portas = {"ttyS0", "ttyS10", "ttyS2", "ttyUSB0"};
    const struct {
        const char* armazenada;
        std::optional<size_t> posicao;
        std::optional<std::string> escolhida;
        const char* confirmada;
    } casos[] = {
        {"COM3", 2, std::nullopt, "COM3"},    {"COM3", 2, "ttyS2", "COM3"},
        {"COM3", 2, "ttyS0", "ttyS0"},        {"ttyS1", std::nullopt, std::nullopt, "ttyS1"},
        {"TTYUSB0", 3, "ttyUSB0", "ttyUSB0"}, {"", 0, "ttyS0", "ttyS0"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(PosicaoDaPorta(portas, c.armazenada), c.posicao) << c.armazenada;
        EXPECT_EQ(PortaConfirmada(c.escolhida, c.armazenada), c.confirmada) << c.armazenada;
    }
}

}  // namespace
}  // namespace tvx
