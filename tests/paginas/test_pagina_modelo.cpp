#include "paginas/pagina_modelo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "avisos_gravados.h"
#include "core/catalogo.h"
#include "core/equipamento.h"

namespace tvx {
namespace {

using teste::AvisosGravados;

// Each case in its own empty working directory, with the object as a first
// start leaves it.
class PaginaModelo : public ::testing::Test {
  protected:
    void SetUp() override {
        anterior_ = std::filesystem::current_path();
        char modelo[] = "/tmp/tvx-pagina-modelo-XXXXXX";
        pasta_ = mkdtemp(modelo);
        std::filesystem::current_path(pasta_);
        eq.caminhoConfiguracao.clear();
        eq.Configuracao(false);
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        std::filesystem::remove_all(pasta_);
    }
    static std::string Ler(const std::filesystem::path& caminho) {
        std::ifstream arquivo(caminho, std::ios::binary);
        std::ostringstream texto;
        texto << arquivo.rdbuf();
        return texto.str();
    }

    cEquipamento& eq = EquipamentoGlobal();
    AvisosGravados avisos;
    std::filesystem::path anterior_;
    std::filesystem::path pasta_;
};

TEST(ListaDeModelos, TrintaEQuatroNomesEmOrdemAlfabeticaComSeusIndices) {
    const std::vector<EntradaModelo> lista = ListaModelos();
    const std::vector<uint32_t> esperado = {34, 33, 10, 18, 14, 4,  13, 9,  19, 27, 28, 1,
                                            16, 21, 20, 2,  24, 23, 29, 25, 22, 31, 26, 3,
                                            5,  12, 7,  17, 11, 6,  15, 8,  32, 30};
    ASSERT_EQ(lista.size(), esperado.size());
    for (size_t i = 0; i < lista.size(); ++i) {
        EXPECT_EQ(lista[i].indice, esperado[i]) << "posição " << i;
        std::string nome;
        ASSERT_TRUE(ObtemNomeModelo(lista[i].indice, nome));
        EXPECT_EQ(lista[i].nome, nome);
    }
    EXPECT_EQ(lista.front().nome, "Analisador TVX5150S");
    EXPECT_EQ(lista.back().nome, "TVXK42");
}

TEST(ListaDeModelos, PosicaoPeloNomeDoModelo) {
    const std::vector<EntradaModelo> lista = ListaModelos();
    EXPECT_EQ(PosicaoDoModelo(lista, 34), 0u);
    EXPECT_EQ(PosicaoDoModelo(lista, 30), 33u);
    EXPECT_EQ(PosicaoDoModelo(lista, 1), 11u);
    // "Nenhum" is never listed; 35 and above have no name.
    EXPECT_FALSE(PosicaoDoModelo(lista, 0));
    EXPECT_FALSE(PosicaoDoModelo(lista, 35));
    EXPECT_FALSE(PosicaoDoModelo(lista, 0xFFFFFFFFu));
}

TEST_F(PaginaModelo, EscolhaMostraInstrucoesEGuardaOIndiceDoCatalogo) {
    const auto texto = EscolherModelo(eq, 19u, avisos);
    ASSERT_TRUE(texto);
    std::string esperado;
    ObtemInstrucoes(19, esperado);
    EXPECT_EQ(*texto, esperado);
    EXPECT_EQ(eq.GetModelo(), 19u);
    EXPECT_TRUE(avisos.mostrados.empty());
}

TEST_F(PaginaModelo, SemSelecaoOuSemInstrucoesRecusaEMantemOModelo) {
    eq.SetModelo(7);
    EXPECT_FALSE(EscolherModelo(eq, std::nullopt, avisos));
    EXPECT_FALSE(EscolherModelo(eq, 35u, avisos));
    EXPECT_EQ(eq.GetModelo(), 7u);
    ASSERT_EQ(avisos.mostrados.size(), 2u);
    EXPECT_EQ(avisos.mostrados[0].first, TipoAviso::Erro);
    EXPECT_EQ(avisos.mostrados[0].second, "Selecione um equipamento");
    EXPECT_EQ(avisos.mostrados[1].first, TipoAviso::Erro);
    EXPECT_EQ(avisos.mostrados[1].second, "Equipamento não possui informações para configuração.");
}

TEST_F(PaginaModelo, AvancarCarregaOModeloEGravaOArquivo) {
    eq.SetModelo(25);
    ConfirmarModelo(eq, avisos);
    EXPECT_EQ(eq.Familia(), kFamiliaNenhuma);
    eq.SetModelo(19);
    ConfirmarModelo(eq, avisos);
    EXPECT_EQ(eq.Familia(), kFamiliaGatewayModbus);
    const std::string ini = Ler(pasta_ / "tvxnetcfg.ini");
    EXPECT_NE(ini.find("[CONFIG]"), std::string::npos);
    EXPECT_NE(ini.find("modelo=19"), std::string::npos);
}

TEST_F(PaginaModelo, ArquivoEscolhidoPassaASerOArquivoDaConfiguracao) {
    std::filesystem::create_directory(pasta_ / "outra");
    const std::filesystem::path escolhido = pasta_ / "outra" / "salva.ini";
    std::ofstream(escolhido) << "[CONFIG]\r\nmodelo=21\r\n[MEIO]\r\ntipo=1\r\nip=10.0.0.9\r\n";

    LerConfiguracaoEscolhida(eq, "", avisos);
    EXPECT_EQ(eq.caminhoConfiguracao, "");
    EXPECT_EQ(eq.GetModelo(), 1u);

    LerConfiguracaoEscolhida(eq, escolhido.string(), avisos);
    EXPECT_EQ(eq.caminhoConfiguracao, escolhido.string());
    EXPECT_EQ(eq.GetModelo(), 21u);
    EXPECT_EQ(eq.GetMeio(), 1u);
    EXPECT_EQ(eq.GetIpProgramacao(), "10.0.0.9");

    ConfirmarModelo(eq, avisos);
    EXPECT_FALSE(std::filesystem::exists(pasta_ / "tvxnetcfg.ini"));
    EXPECT_NE(Ler(escolhido).find("[LINKORA_940_5]"), std::string::npos);
}

}  // namespace
}  // namespace tvx
