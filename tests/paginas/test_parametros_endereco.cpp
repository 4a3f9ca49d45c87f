// Next on the parameters page never lets through a new address that would
// take the device off the network: the refusal, its text and the row it
// names, for every family.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "paginas/parametros.h"

namespace tvx {
namespace {

using Recusa = std::pair<std::string, std::string>;  // text, row

struct AvisosPorLinha : cAvisos {
    void Mostrar(TipoAviso, const std::string& texto) override { vistos.push_back({texto, ""}); }
    void MostrarSobre(TipoAviso tipo, const std::string& texto,
                      const std::string& rotulo) override {
        EXPECT_EQ(tipo, TipoAviso::Erro);
        vistos.push_back({texto, rotulo});
    }
    bool Perguntar(const std::string&) override { return false; }
    std::vector<Recusa> vistos;
};

TEST(ParametrosEndereco, EnderecoVazioOuZeroNuncaVaiAoEquipamento) {
    struct Caso {
        uint32_t modelo;
        std::vector<std::pair<std::string, std::string>> valores;
        std::vector<Recusa> esperado;
    };
    const std::vector<Recusa> nada;
    const std::vector<Recusa> ip{{"IP inválido", "IP"}};
    const std::vector<Recusa> mascara{{"Máscara inválida", "Máscara"}};
    const std::vector<Caso> casos{
        // family 10
        {3, {}, ip},
        {3, {{"IP", "0.0.0.0"}, {"Máscara", "255.0.0.0"}}, ip},
        {3, {{"IP", "10.0.0.5"}}, mascara},
        {3, {{"IP", "10.0.0.5"}, {"Máscara", "255.0.0.0"}}, nada},
        {3, {{"IP", "10.0.0.5"}, {"Máscara", "255.0.0.0"}, {"Gateway", "0.0.0.0"}}, nada},
        // family 1 sends the texts as they are
        {8, {{"IP", "0.0.0.0"}, {"Máscara", "255.0.0.0"}}, ip},
        // the gateways
        {19, {{"IP", "10.0.0.5"}}, mascara},
        // family 21: only the IP row, and only when it is to be changed
        {30, {}, nada},
        {30, {{"Alterar IP?", "1"}}, ip},
        {30, {{"Alterar IP?", "1"}, {"IP", "10.0.0.5"}}, nada},
        // family 0: no address at all
        {25, {}, nada},
    };
    for (const Caso& c : casos) {
        cEquipamento eq;
        eq.SetModelo(c.modelo);
        ASSERT_TRUE(eq.CarregaInfoModelo());
        cPropertyRows linhas;
        ConstruirParametros(eq, linhas);
        for (const auto& [rotulo, valor] : c.valores) {
            std::string erro;
            ASSERT_TRUE(AplicarParametro(linhas, rotulo, valor, erro)) << erro;
        }
        AvisosPorLinha avisos;
        EXPECT_EQ(ConfirmarParametros(eq, linhas, avisos), c.esperado.empty())
            << "modelo " << c.modelo;
        EXPECT_EQ(avisos.vistos, c.esperado) << "modelo " << c.modelo;
    }
}

}  // namespace
}  // namespace tvx
