#include "paginas/pagina_meio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "avisos_gravados.h"
#include "core/equipamento.h"
#include "transport/serial.h"

namespace tvx {
namespace {

using teste::AvisosGravados;

class PaginaMeio : public ::testing::Test {
  protected:
    void SetUp() override {
        anterior_ = std::filesystem::current_path();
        char modelo[] = "/tmp/tvx-pagina-meio-XXXXXX";
        pasta_ = mkdtemp(modelo);
        std::filesystem::current_path(pasta_);
        eq.caminhoConfiguracao.clear();
        eq.Configuracao(false);
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        std::filesystem::remove_all(pasta_);
    }
    std::string Ini() const {
        std::ifstream arquivo(pasta_ / "tvxnetcfg.ini", std::ios::binary);
        std::ostringstream texto;
        texto << arquivo.rdbuf();
        return texto.str();
    }

    cEquipamento& eq = EquipamentoGlobal();
    AvisosGravados avisos;
    std::filesystem::path anterior_;
    std::filesystem::path pasta_;
};

TEST(ListasDoMeio, VelocidadesComSeusCodigos) {
    const auto lista = ListaVelocidades();
    ASSERT_EQ(lista.size(), 4u);
    const std::pair<const char*, uint32_t> esperado[] = {
        {"4800", 5}, {"9600", 6}, {"19200", 8}, {"38400", 9}};
    for (size_t i = 0; i < lista.size(); ++i) {
        EXPECT_EQ(lista[i].texto, esperado[i].first);
        EXPECT_EQ(lista[i].dado, esperado[i].second);
        // The code names the same rate in the serial port's table.
        EXPECT_STREQ(TextoVelocidade(lista[i].dado), esperado[i].first);
    }
}

TEST(ListasDoMeio, RtusDe000a255NaOrdemNumerica) {
    const auto lista = ListaRtus();
    ASSERT_EQ(lista.size(), 256u);
    EXPECT_EQ(lista[0].texto, "000");
    EXPECT_EQ(lista[17].texto, "017");
    EXPECT_EQ(lista[17].dado, 17u);
    EXPECT_EQ(lista[100].texto, "100");
    EXPECT_EQ(lista[255].texto, "255");
    EXPECT_EQ(lista[255].dado, 255u);
    for (size_t i = 1; i < lista.size(); ++i) {
        EXPECT_LT(lista[i - 1].texto, lista[i].texto);
        EXPECT_EQ(lista[i].dado, i);
    }
}

TEST(ListasDoMeio, PrefixoEscolheAPrimeiraEntradaDeCima) {
    const std::vector<std::string> portas = {"COM1", "COM10", "COM2"};
    EXPECT_EQ(PrimeiraComPrefixo(portas, "COM1"), 0u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, "com10"), 1u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, "COM2"), 2u);
    EXPECT_FALSE(PrimeiraComPrefixo(portas, "COM3"));
    EXPECT_FALSE(PrimeiraComPrefixo(portas, "COM100"));
    EXPECT_FALSE(PrimeiraComPrefixo({}, "COM1"));
    // An empty name is a prefix of every entry.
    EXPECT_EQ(PrimeiraComPrefixo(portas, ""), 0u);
}

TEST(ListasDoMeio, VelocidadeSelecionadaPeloTextoDoCodigo) {
    EXPECT_EQ(PosicaoVelocidade(5), 0u);
    EXPECT_EQ(PosicaoVelocidade(6), 1u);
    EXPECT_EQ(PosicaoVelocidade(8), 2u);
    EXPECT_EQ(PosicaoVelocidade(kIndiceVelocidade38400), 3u);
    EXPECT_FALSE(PosicaoVelocidade(7));   // 14400 is not offered
    EXPECT_FALSE(PosicaoVelocidade(14));  // 256000
    EXPECT_FALSE(PosicaoVelocidade(15));  // no rate at all
    EXPECT_FALSE(PosicaoVelocidade(255));
}

TEST(ListasDoMeio, FalhaNaDescobertaMostraAMensagemENaoDaPortas) {
    AvisosGravados avisos;
    const std::string ausente = "/tmp/tvx-sem-esta-pasta/sys/class/tty";
    const auto portas = ListaPortas(avisos, ausente);
    EXPECT_TRUE(portas.empty());
    ASSERT_EQ(avisos.mostrados.size(), 1u);
    EXPECT_EQ(avisos.mostrados[0].first, TipoAviso::Erro);
    EXPECT_EQ(avisos.mostrados[0].second,
              "Could not read from " + ausente + ": No such file or directory");
}

// Which controls each model shows, for each medium, and what becomes of meio.
TEST_F(PaginaMeio, VisibilidadeDeCadaModeloECadaMeio) {
    const std::set<uint32_t> esteIp = {2, 3, 4, 5, 6, 7, 15, 17, 22, 23, 24, 30, 33, 34};
    const std::set<uint32_t> serial = {2, 3, 4, 5, 22, 23, 25};
    for (uint32_t modelo = 0; modelo <= 34; ++modelo) {
        for (uint32_t meio = 0; meio <= 2; ++meio) {
            SCOPED_TRACE("modelo " + std::to_string(modelo) + " meio " + std::to_string(meio));
            eq.SetModelo(modelo);
            eq.SetMeio(7);
            uint32_t estado = meio;
            const VisibilidadeMeio v = AtualizarMeio(eq, estado);
            const bool temSerial = serial.count(modelo) != 0;
            const uint32_t final = (!temSerial && meio == 2) ? 0 : meio;
            EXPECT_EQ(estado, final);
            EXPECT_EQ(eq.GetMeio(), final);
            EXPECT_EQ(v.ipPadrao, modelo != 25);
            EXPECT_EQ(v.serial, temSerial);
            EXPECT_EQ(v.esteIp, esteIp.count(modelo) != 0);
            EXPECT_EQ(v.campoIp, esteIp.count(modelo) != 0 && final == 1);
            EXPECT_EQ(v.porta, final == 2);
            EXPECT_EQ(v.velocidadeRtu, final == 2 && modelo != 25);
        }
    }
}

TEST_F(PaginaMeio, SemMeioMarcadoRecusaSemGravar) {
    eq.SetMeio(1);
    eq.SetIpProgramacao("10.1.1.1");
    uint32_t estado = 1;
    EscolhaMeio escolha;
    escolha.ipCampo = "10.2.2.2";
    EXPECT_FALSE(ConfirmarMeio(eq, escolha, estado, avisos));
    ASSERT_EQ(avisos.mostrados.size(), 1u);
    EXPECT_EQ(avisos.mostrados[0].first, TipoAviso::Erro);
    EXPECT_EQ(avisos.mostrados[0].second, "Selecione um meio de comunicação.");
    EXPECT_EQ(eq.GetIpProgramacao(), "10.1.1.1");
    EXPECT_FALSE(std::filesystem::exists(pasta_ / "tvxnetcfg.ini"));
}

TEST_F(PaginaMeio, IpDefaultGuardaOEnderecoDeFabricaQualquerQueSejaOCampo) {
    EscolhaMeio escolha;
    escolha.marcado = 0;
    escolha.ipCampo = "10.2.2.2";
    escolha.porta = "ttyUSB0";
    escolha.velocidade = 8;
    escolha.rtu = 17;
    uint32_t estado = 2;
    ASSERT_TRUE(ConfirmarMeio(eq, escolha, estado, avisos));
    EXPECT_EQ(estado, 0u);
    EXPECT_EQ(eq.GetMeio(), 0u);
    EXPECT_EQ(eq.GetIpProgramacao(), "192.168.0.101");
    // The serial settings are committed whatever the medium is.
    EXPECT_EQ(eq.GetPorta(), "ttyUSB0");
    EXPECT_EQ(eq.GetVelocidade(), 8u);
    EXPECT_EQ(eq.GetRtu(), 17u);
    const std::string ini = Ini();
    EXPECT_NE(ini.find("[MEIO]"), std::string::npos);
    EXPECT_NE(ini.find("tipo=0"), std::string::npos);
    EXPECT_NE(ini.find("ip=192.168.0.101"), std::string::npos);
    EXPECT_NE(ini.find("velocidade=19200"), std::string::npos);
    EXPECT_NE(ini.find("rtu=17"), std::string::npos);
    EXPECT_TRUE(avisos.mostrados.empty());
}

TEST_F(PaginaMeio, EsteIpGuardaOCampoESemVelocidadeFicaAVelocidadePadrao) {
    eq.SetVelocidade(kIndiceVelocidade38400);
    eq.SetRtu(9);
    EscolhaMeio escolha;
    escolha.marcado = 1;
    escolha.ipCampo = "127.0.0.9";
    uint32_t estado = 0;
    ASSERT_TRUE(ConfirmarMeio(eq, escolha, estado, avisos));
    EXPECT_EQ(eq.GetMeio(), 1u);
    EXPECT_EQ(eq.GetIpProgramacao(), "127.0.0.9");
    EXPECT_EQ(eq.GetPorta(), "");
    EXPECT_EQ(eq.GetVelocidade(), kIndiceVelocidadePadrao);
    EXPECT_EQ(eq.GetRtu(), 9u);
}

}  // namespace
}  // namespace tvx
