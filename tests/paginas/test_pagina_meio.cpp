// The model and medium pages: the lists they show, what each model lets the
// technician pick, and what Next keeps and saves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "avisos_gravados.h"
#include "core/catalogo.h"
#include "paginas/pagina_meio.h"
#include "paginas/pagina_modelo.h"
#include "transport/serial.h"

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
    // "Nenhum" is never listed; 35 and above have no name.
    for (uint32_t fora : {0u, 35u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(PosicaoDoModelo(modelos, fora));
    }

    const auto velocidades = ListaVelocidades();
    const std::pair<const char*, uint32_t> esperadas[] = {
        {"4800", 5}, {"9600", 6}, {"19200", 8}, {"38400", 9}};
    ASSERT_EQ(velocidades.size(), 4u);
    for (size_t i = 0; i < velocidades.size(); ++i) {
        EXPECT_EQ(velocidades[i].texto, esperadas[i].first);
        EXPECT_EQ(velocidades[i].dado, esperadas[i].second);
        EXPECT_STREQ(TextoVelocidade(velocidades[i].dado), esperadas[i].first);
        EXPECT_EQ(PosicaoVelocidade(esperadas[i].second), i);
    }
    for (uint8_t sem : {7, 14, 15, 255}) {  // 14400, 256000, no rate at all
        EXPECT_FALSE(PosicaoVelocidade(sem));
    }
    const auto rtus = ListaRtus();
    ASSERT_EQ(rtus.size(), 256u);
    for (size_t i = 0; i < rtus.size(); ++i) {
        char texto[24];
        std::snprintf(texto, sizeof texto, "%03zu", i);
        EXPECT_EQ(rtus[i].texto, texto);
        EXPECT_EQ(rtus[i].dado, i);
    }

    const std::vector<std::string> portas = {"COM1", "COM10", "COM2"};
    EXPECT_EQ(PrimeiraComPrefixo(portas, "COM1"), 0u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, "com10"), 1u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, "COM2"), 2u);
    EXPECT_EQ(PrimeiraComPrefixo(portas, ""), 0u);  // an empty name prefixes every entry
    EXPECT_FALSE(PrimeiraComPrefixo(portas, "COM100"));
    EXPECT_FALSE(PrimeiraComPrefixo({}, "COM1"));
    AvisosGravados avisos;
    const std::string ausente = "/tmp/tvx-sem-esta-pasta/sys/class/tty";
    EXPECT_TRUE(ListaPortas(avisos, ausente).empty());
    EXPECT_EQ(avisos.vistos,
              Avisos{Erro("Could not read from " + ausente + ": No such file or directory")});
}

class Paginas : public PastaDeTrabalho {};

TEST_F(Paginas, ModeloEscolhidoAvancaEGrava) {
    eq.SetModelo(7);
    EXPECT_FALSE(EscolherModelo(eq, std::nullopt, avisos));
    EXPECT_FALSE(EscolherModelo(eq, 35u, avisos));
    EXPECT_EQ(eq.GetModelo(), 7u);
    EXPECT_EQ(avisos.vistos,
              (Avisos{Erro("Selecione um equipamento"),
                      Erro("Equipamento não possui informações para configuração.")}));
    const auto texto = EscolherModelo(eq, 19u, avisos);
    std::string instrucoes;
    ObtemInstrucoes(19, instrucoes);
    EXPECT_EQ(texto, instrucoes);
    EXPECT_EQ(eq.GetModelo(), 19u);
    ConfirmarModelo(eq);
    EXPECT_EQ(eq.Familia(), kFamiliaGatewayModbus);
    EXPECT_NE(Ini().find("[CONFIG]\r\nip=\r\nmask=\r\ngateway=\r\nmodelo=19\r\n"),
              std::string::npos);
    eq.SetModelo(25);
    ConfirmarModelo(eq);
    EXPECT_EQ(eq.Familia(), kFamiliaNenhuma);
}

TEST_F(Paginas, ArquivoEscolhidoPassaASerOArquivoDaConfiguracao) {
    std::filesystem::create_directory(pasta_ / "outra");
    const std::filesystem::path escolhido = pasta_ / "outra" / "salva.ini";
    std::ofstream(escolhido) << "[CONFIG]\r\nmodelo=21\r\n[MEIO]\r\ntipo=1\r\nip=10.0.0.9\r\n";
    LerConfiguracaoEscolhida(eq, "");
    EXPECT_EQ(eq.caminhoConfiguracao, "");
    EXPECT_EQ(eq.GetModelo(), 1u);
    LerConfiguracaoEscolhida(eq, escolhido.string());
    EXPECT_EQ(eq.caminhoConfiguracao, escolhido.string());
    EXPECT_EQ(eq.GetModelo(), 21u);
    EXPECT_EQ(eq.GetMeio(), 1u);
    EXPECT_EQ(eq.GetIpProgramacao(), "10.0.0.9");
    ConfirmarModelo(eq);
    EXPECT_FALSE(std::filesystem::exists(pasta_ / "tvxnetcfg.ini"));
    EXPECT_NE(LerArquivo(escolhido.string()).find("[LINKORA_940_5]"), std::string::npos);
}

// Which controls each model shows, for each medium, and what becomes of meio.
TEST_F(Paginas, VisibilidadeDeCadaModeloECadaMeio) {
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

TEST_F(Paginas, MeioConfirmado) {
    eq.SetMeio(1);
    eq.SetIpProgramacao("10.1.1.1");
    eq.SetRtu(9);
    uint32_t estado = 1;
    EscolhaMeio escolha;
    escolha.ipCampo = "10.2.2.2";
    EXPECT_FALSE(ConfirmarMeio(eq, escolha, estado, avisos));  // none ticked
    EXPECT_EQ(avisos.vistos, Avisos{Erro("Selecione um meio de comunicação.")});
    EXPECT_EQ(eq.GetIpProgramacao(), "10.1.1.1");
    EXPECT_FALSE(std::filesystem::exists(pasta_ / "tvxnetcfg.ini"));
    // "Este IP" keeps the field; with no rate chosen the default rate.
    escolha.marcado = 1;
    ASSERT_TRUE(ConfirmarMeio(eq, escolha, estado, avisos));
    EXPECT_EQ(eq.GetMeio(), 1u);
    EXPECT_EQ(eq.GetIpProgramacao(), "10.2.2.2");
    EXPECT_EQ(eq.GetVelocidade(), kIndiceVelocidadePadrao);
    EXPECT_EQ(eq.GetRtu(), 9u);
    // The factory default whatever the field; the serial settings are kept
    // whatever the medium.
    escolha.marcado = 0;
    escolha.porta = "ttyUSB0";
    escolha.velocidade = 8;
    escolha.rtu = 17;
    estado = 2;
    ASSERT_TRUE(ConfirmarMeio(eq, escolha, estado, avisos));
    EXPECT_EQ(estado, 0u);
    EXPECT_EQ(eq.GetMeio(), 0u);
    EXPECT_EQ(eq.GetIpProgramacao(), "192.168.0.101");
    EXPECT_EQ(eq.GetPorta(), "ttyUSB0");
    EXPECT_NE(
        Ini().find("[MEIO]\r\ntipo=0\r\nip=192.168.0.101\r\nporta=ttyUSB0\r\nvelocidade=19200\r\n"
                   "rtu=17\r\n"),
        std::string::npos);
    EXPECT_EQ(avisos.vistos.size(), 1u);
}

}  // namespace
}  // namespace tvx
