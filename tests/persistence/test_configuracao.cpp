// The configuration file against a real INI file on disk: what a save writes,
// byte for byte, and what a load puts back into the equipment object.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/equipamento.h"
#include "core/registros.h"
#include "pasta_temporaria.h"

namespace tvx {
namespace {

constexpr const char* kArquivo = "tvxnetcfg.ini";

const std::string kTresSecoesPadrao =
    "[CONFIG]\r\nip=\r\nmask=\r\ngateway=\r\nmodelo=1\r\n"
    "[MEIO]\r\ntipo=0\r\nip=\r\nporta=\r\nvelocidade=38400\r\nrtu=1\r\n"
    "[ESPECIAL]\r\noperadora=0\r\nid=\r\nurl=\r\n";

class Configuracao : public teste::PastaTemporaria {
  protected:
    void SetUp() override {
        PastaTemporaria::SetUp();
        anterior_ = std::filesystem::current_path();
        std::filesystem::current_path(pasta_);
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        PastaTemporaria::TearDown();
    }
    static uint8_t* Gm(cEquipamento& e) { return e.registroGatewayModbus.data(); }
    static uint8_t* Gt(cEquipamento& e) { return e.registroGatewayTx.data(); }

    // Every field the file holds, with values that differ per meter.
    static void Preencher(cEquipamento& e, uint32_t modelo) {
        e.SetModelo(modelo);
        e.SetIpNovo("10.1.2.3");
        e.SetMascaraNova("255.255.0.0");
        e.SetGatewayNovo("10.1.0.1");
        e.SetMeio(kMeioSerial);
        e.SetIpProgramacao("192.168.0.50");
        e.SetPorta("COM4");
        e.SetVelocidade(3);  // 1200
        e.SetRtu(17);
        e.registroTelemetria[kTelOperadora] = 2;
        GravarTextoNoCampo(&e.registroTelemetria[kTelId], kTamanhoIdTelemetria, "Medição 42", 19);
        GravarTextoNoCampo(&e.registroUrl[kUrlTexto], kTamanhoUrl, "http://tvx.example/a?b=c", 80);
        Gm(e)[kGmVelocidade] = 4;
        for (size_t i = 0; i < kQuantidadeMedidores; ++i) {
            EscreverIpRegistro(Gm(e), kGmIpMedidor + 4 * i,
                               TextoParaIp("172.16.0." + std::to_string(10 + i)));
            Gm(e)[kGmFuncaoMedidor + i] = static_cast<uint8_t>(3 + i % 2);
            Gm(e)[kGmQuantidadeRegistros + i] = static_cast<uint8_t>(20 + i);
            Gm(e)[kGmRtuMedidor + i] = static_cast<uint8_t>(1 + i);
            EscreverU16Le(&Gm(e)[kGmRegistroInicial + 2 * i], static_cast<uint16_t>(1000 * i + 7));
        }
        Gt(e)[kGtFaixaRtu] = 3;
        for (size_t i = 0; i < kQuantidadeMedidores; ++i) {
            EscreverIpRegistro(Gt(e), kGtIpGateway + 4 * i,
                               TextoParaIp("10.9.8." + std::to_string(1 + i)));
        }
    }

    std::filesystem::path anterior_;
};

TEST_F(Configuracao, PadroesSemArquivoEPrimeiraGravacao) {
    cEquipamento e;
    e.SetVelocidade(2);
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.GetModelo(), 1u);
    EXPECT_EQ(e.GetMeio(), kMeioIpPadrao);
    EXPECT_EQ(e.GetRtu(), 1);
    EXPECT_EQ(e.GetVelocidade(), kIndiceVelocidade38400);
    EXPECT_TRUE(Nomes(pasta_).empty());  // a load creates nothing
    EXPECT_EQ(e.CaminhoArquivoConfiguracao(), pasta_ + "/" + kArquivo);
    ASSERT_TRUE(e.Configuracao(true));
    EXPECT_EQ(Ler(Caminho(kArquivo)), kTresSecoesPadrao);
    // Model 25 is saved with RTU 0 and 38400.
    e.SetModelo(25);
    e.SetRtu(7);
    e.SetVelocidade(4);
    ASSERT_TRUE(e.Configuracao(true));
    EXPECT_NE(Ler(Caminho(kArquivo)).find("velocidade=38400\r\nrtu=0\r\n"), std::string::npos);
}

TEST_F(Configuracao, ArquivoDoModelo19ByteAByteEIdaEVolta) {
    cEquipamento a;
    Preencher(a, 19);
    ASSERT_TRUE(a.Configuracao(true));
    std::string esperado =
        "[CONFIG]\r\nip=10.1.2.3\r\nmask=255.255.0.0\r\ngateway=10.1.0.1\r\nmodelo=19\r\n"
        "[MEIO]\r\ntipo=2\r\nip=192.168.0.50\r\nporta=COM4\r\nvelocidade=1200\r\nrtu=17\r\n"
        "[ESPECIAL]\r\noperadora=2\r\nid=Medi\xE7\xE3o 42\r\nurl=http://tvx.example/a?b=c\r\n"
        "[GATEWAY_MODBUS]\r\nvelocidadade=4\r\n"
        "[GATEWAY_MODBUS_1]\r\nip=172.16.0.10\r\nfuncao=3\r\nnumreg=20\r\nrtu=1\r\nendini=7\r\n"
        "[GATEWAY_MODBUS_2]\r\nip=172.16.0.11\r\nfuncao=4\r\nnumreg=21\r\nrtu=2\r\nendini=1007\r\n"
        "[GATEWAY_MODBUS_3]\r\nip=172.16.0.12\r\nfuncao=3\r\nnumreg=22\r\nrtu=3\r\nendini=2007\r\n"
        "[GATEWAY_MODBUS_4]\r\nip=172.16.0.13\r\nfuncao=4\r\nnumreg=23\r\nrtu=4\r\nendini=3007\r\n"
        "[GATEWAY_MODBUS_5]\r\nip=172.16.0.14\r\nfuncao=3\r\nnumreg=24\r\nrtu=5\r\nendini=4007\r\n";
    EXPECT_EQ(Ler(Caminho(kArquivo)), esperado);
    // Model 21 adds its gateway table at the end; the meter sections stay.
    a.SetModelo(21);
    ASSERT_TRUE(a.Configuracao(true));
    esperado.replace(esperado.find("modelo=19"), 9, "modelo=21");
    EXPECT_EQ(Ler(Caminho(kArquivo)),
              esperado +
                  "[LINKORA_940_5]\r\nfaixartu=3\r\nip1=10.9.8.1\r\nip2=10.9.8.2\r\n"
                  "ip3=10.9.8.3\r\nip4=10.9.8.4\r\nip5=10.9.8.5\r\n");

    cEquipamento b;
    ASSERT_TRUE(b.Configuracao(false));
    EXPECT_EQ(b.GetModelo(), 21u);
    EXPECT_EQ(b.GetIpNovo() + " " + b.GetMascaraNova() + " " + b.GetGatewayNovo(),
              "10.1.2.3 255.255.0.0 10.1.0.1");
    EXPECT_EQ(b.GetMeio(), kMeioSerial);
    EXPECT_EQ(b.GetIpProgramacao(), "192.168.0.50");
    EXPECT_EQ(b.GetPorta(), "COM4");
    EXPECT_EQ(b.GetVelocidade(), 3);
    EXPECT_EQ(b.GetRtu(), 17);
    EXPECT_EQ(b.registroTelemetria, a.registroTelemetria);
    EXPECT_EQ(b.registroUrl, a.registroUrl);
    EXPECT_EQ(b.registroGatewayModbus, a.registroGatewayModbus);
    EXPECT_EQ(b.registroGatewayTx, a.registroGatewayTx);
}

TEST_F(Configuracao, Modelo28NaoGravaLinkoraMasLe) {
    Escrever(Caminho(kArquivo), "[LINKORA_940_5]\r\nfaixartu=2\r\nip1=1.2.3.4\r\nip5=5.6.7.8\r\n");
    cEquipamento e;
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.registroGatewayTx[kGtFaixaRtu], 2);
    EXPECT_EQ(IpParaTexto(LerIpRegistro(Gt(e), kGtIpGateway), true), "1.2.3.4");
    EXPECT_EQ(LerIpRegistro(Gt(e), kGtIpGateway + 4), 0u);
    EXPECT_EQ(IpParaTexto(LerIpRegistro(Gt(e), kGtIpGateway + 16), true), "5.6.7.8");
    e.SetModelo(28);
    Gt(e)[kGtFaixaRtu] = 1;
    ASSERT_TRUE(e.Configuracao(true));
    std::string depois = kTresSecoesPadrao;
    depois.replace(depois.find("modelo=1"), 8, "modelo=28");
    EXPECT_EQ(Ler(Caminho(kArquivo)),
              "[LINKORA_940_5]\r\nfaixartu=2\r\nip1=1.2.3.4\r\nip5=5.6.7.8\r\n" + depois);
}

TEST_F(Configuracao, ArquivoEscolhidoEConteudoDesconhecido) {
    std::filesystem::create_directory(Caminho("outra"));
    const std::string escolhido = Caminho("outra/escolhido.ini");
    Escrever(escolhido,
             "; gerado no campo\r\n[CONFIG]\r\nmodelo=7\r\nobs=painel 3\r\n\r\n"
             "[PARTICULAR]\r\nx=\"y\"\r\n");
    Escrever(Caminho(kArquivo), "[CONFIG]\r\nmodelo=2\r\n");
    cEquipamento e;
    e.caminhoConfiguracao = escolhido;
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.GetModelo(), 7u);
    e.SetModelo(9);
    ASSERT_TRUE(e.Configuracao(true));
    EXPECT_EQ(Ler(Caminho(kArquivo)), "[CONFIG]\r\nmodelo=2\r\n");
    EXPECT_EQ(Ler(escolhido),
              "; gerado no campo\r\n[CONFIG]\r\nmodelo=9\r\nobs=painel 3\r\nip=\r\nmask=\r\n"
              "gateway=\r\n\r\n[PARTICULAR]\r\nx=\"y\"\r\n"
              "[MEIO]\r\ntipo=0\r\nip=\r\nporta=\r\nvelocidade=38400\r\nrtu=1\r\n"
              "[ESPECIAL]\r\noperadora=0\r\nid=\r\nurl=\r\n");

    // A file where the folder should be: saving fails quietly, nothing is made.
    Escrever(Caminho("arquivo"), "x");
    e.caminhoConfiguracao = Caminho("arquivo/tvxnetcfg.ini");
    EXPECT_TRUE(e.Configuracao(true));
    EXPECT_TRUE(e.Configuracao(false));
    EXPECT_EQ(Nomes(pasta_), (std::set<std::string>{"arquivo", "outra", kArquivo}));
}

TEST_F(Configuracao, ValoresEstranhosECortadosNaLargura) {
    Escrever(Caminho(kArquivo), "[CONFIG]\r\nip=" + std::string(300, '1') +
                                    "\r\n[MEIO]\r\nvelocidade=12345\r\nrtu=257\r\ntipo=abc\r\n"
                                    "[GATEWAY_MODBUS_1]\r\nendini=70000\r\nfuncao=259\r\n"
                                    "[GATEWAY_MODBUS_3]\r\nip=10.0.300\r\n"
                                    "[ESPECIAL]\r\noperadora=-1\r\nid=" +
                                    std::string(30, 'i') + "\r\nurl=" + std::string(100, 'u') +
                                    "\r\n");
    cEquipamento e;
    e.SetVelocidade(5);
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.GetIpNovo(), std::string(259, '1'));
    EXPECT_EQ(e.GetVelocidade(), 5);  // unknown rate text: unchanged
    EXPECT_EQ(e.GetRtu(), 1);         // 257 in 8 bits
    EXPECT_EQ(e.GetMeio(), 0u);
    EXPECT_EQ(e.registroTelemetria[kTelOperadora], 255);
    EXPECT_EQ(LerU16Le(&e.registroGatewayModbus[kGmRegistroInicial]), 4464);
    EXPECT_EQ(e.registroGatewayModbus[kGmFuncaoMedidor], 3);
    EXPECT_EQ(IpParaTexto(LerIpRegistro(Gm(e), kGmIpMedidor + 8), true), "10.0.255.0");
    EXPECT_EQ(TextoDoCampo(&e.registroTelemetria[kTelId], kTamanhoIdTelemetria),
              std::string(19, 'i'));
    EXPECT_EQ(TextoDoCampo(&e.registroUrl[kUrlTexto], kTamanhoUrl), std::string(80, 'u'));
}

}  // namespace
}  // namespace tvx
