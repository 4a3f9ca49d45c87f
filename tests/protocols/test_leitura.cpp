// Reading the configuration back: the universal gateway record, the tagged
// text of meters and RTUs over TCP and the serial line, and the Modbus
// registers of the family-21 model, whatever the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "bancada.h"
#include "protocols/registros_medicao.h"

namespace tvx {
namespace {

using namespace teste;

// ---- family 9

std::vector<uint8_t> RegistroGateway(uint8_t funcao, uint8_t rtu1, uint8_t rtu2,
                                     uint8_t velocidade) {
    std::vector<uint8_t> r(70, 0);
    const std::vector<uint8_t> enderecos = Hex("C0 A8 00 05 FF FF FF 00 C0 A8 00 01 0A 00 00 C8");
    std::copy(enderecos.begin(), enderecos.end(), r.begin());
    r[16] = rtu1;
    r[17] = rtu2;
    r[18] = velocidade;
    r[19] = funcao;
    r[40] = 'X';  // bytes 20 and beyond mean nothing to the reading
    return r;
}

TEST(LerGatewayUniversal, PedidoLerEGatewayModbusA115200) {
    ParTcp par("127.6.2.1", 5003);
    Bancada b(1);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.1"));
    par.Responder(RegistroGateway(0xAA, 0, 0, 6));
    std::string resultado = "de uma leitura anterior";
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(ParaHex(Juntar({Bytes("LER="), std::vector<uint8_t>(56, 0)})),
              ParaHex(par.Recebido(61, 300ms)));
    EXPECT_EQ("Função: Gateway Modbus\r\nVelocidade:115200", resultado);
    EXPECT_EQ("192.168.000.005", b.e.GetIpLido());
    EXPECT_EQ("255.255.255.000", b.e.GetMascaraLida());
    EXPECT_EQ("192.168.000.001", b.e.GetGatewayLido());
}

TEST(LerGatewayUniversal, VelocidadesDoGatewayModbus) {
    ParTcp par("127.6.2.2", 5003);
    Bancada b(27);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.2"));
    const std::pair<uint8_t, const char*> casos[] = {{0, "1200"},  {3, "9600"},   {4, "19200"},
                                                     {5, "38400"}, {6, "115200"}, {7, "153600"},
                                                     {200, "?"}};
    for (const auto& [codigo, texto] : casos) {
        SCOPED_TRACE(codigo);
        par.Responder(RegistroGateway(0xAA, 0, 0, codigo));
        std::string resultado;
        ASSERT_TRUE(b.e.LerConfiguracao(resultado));
        EXPECT_EQ(std::string("Função: Gateway Modbus\r\nVelocidade:") + texto, resultado);
    }
}

TEST(LerGatewayUniversal, TextoDeCadaFuncao) {
    ParTcp par("127.6.2.3", 5003);
    Bancada b(1);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.3"));
    const std::pair<uint8_t, const char*> casos[] = {
        {0x21, "Função: Gateway TX ION\r\nIP:010.000.000.200\r\nRTU Ion 1:3\r\nRTU Ion 2:4"},
        {0x55, "Função: Gateway TX 940\r\nIP:010.000.000.200\r\nTVX940:3"},
        {0x33, "Função: Gateway RX"},
        {0xFF, "Função: Gateway PC"},
        {0x00, ""},
        {0x56, ""},
    };
    for (const auto& [funcao, texto] : casos) {
        SCOPED_TRACE(funcao);
        b.e.SetIpLido("");
        par.Responder(RegistroGateway(funcao, 3, 4, 6));
        std::string resultado = "velho";
        EXPECT_TRUE(b.e.LerConfiguracao(resultado));
        EXPECT_EQ(texto, resultado);
        EXPECT_EQ("192.168.000.005", b.e.GetIpLido());
    }
}

TEST(LerGatewayUniversal, FalhasDeEnvioERecepcao) {
    ParTcp par("127.6.2.4", 5003);
    Bancada b(1);
    b.e.SetIpLido("anterior");
    ASSERT_TRUE(b.ConectarTcp("127.6.2.4"));
    par.Calar();
    std::string resultado;
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Falha na recepção (recv).", resultado);
    EXPECT_EQ("anterior", b.e.GetIpLido());
    b.e.Desconecta();
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Leitura de IP falhou.", resultado);
}

// ---- tagged meters and RTUs: 'L' 31 answered with text

// The device's text with the bytes that precede it on this medium.
std::vector<uint8_t> RespostaTexto(size_t antes, std::string_view texto) {
    return Juntar({std::vector<uint8_t>(antes, 0x10), Bytes(texto)});
}

// Latin-1 on the wire: 0x07 is a control byte, 0xE7 0xE3 are "çã".
constexpr std::string_view kTextoEquipamento =
    "TVX5150S\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\nNome:\x07Medi\xE7\xE3o\x1F\tA\r\n";
constexpr std::string_view kTextoLimpo =
    "TVX5150S\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\nNome: Medição \tA\r\n";

TEST(LerEnderecosTexto, TcpComTextoAPartirDoByte5) {
    ParTcp par("127.6.2.5", 5003);
    Bancada b(3);
    b.e.SetGatewayLido("anterior");
    ASSERT_TRUE(b.ConectarTcp("127.6.2.5"));
    par.Responder(RespostaTexto(5, kTextoEquipamento));
    std::string resultado = "velho";
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("00 00 03 00 00 00 00 05 01 FF 00 09 10 02 01 4C 1F 10 03 A8 E0",
              ParaHex(par.Recebido(21)));
    EXPECT_EQ(kTextoLimpo, resultado);
    EXPECT_EQ("10.0.0.5", b.e.GetIpLido());
    EXPECT_EQ("255.255.255.0", b.e.GetMascaraLida());
    EXPECT_EQ("anterior", b.e.GetGatewayLido());
}

TEST(LerEnderecosTexto, QuadroSimplesComTextoNoInicio) {
    ParTcp par("127.6.2.6", 5006);
    Bancada b(6);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.6"));
    par.Responder(Bytes("IP:10.0.0.6\r\nMask:255.0.0.0\r\nGateway: 10.0.0.1\r\n"));
    std::string resultado;
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("4C 1F", ParaHex(par.Recebido(2)));
    EXPECT_EQ("IP:10.0.0.6\r\nMask:255.0.0.0\r\nGateway: 10.0.0.1\r\n", resultado);
    EXPECT_EQ("10.0.0.6", b.e.GetIpLido());
    EXPECT_EQ("255.0.0.0", b.e.GetMascaraLida());
    EXPECT_EQ("10.0.0.1", b.e.GetGatewayLido());
}

TEST(LerEnderecosTexto, RespostaCurtaNaoMostraBytesDaAnterior) {
    ParTcp par("127.6.2.7", 5003);
    Bancada b(29);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.7"));
    // A reply that fills the whole 280-byte buffer: its last byte is cut.
    const std::string longo(275, 'A');
    par.Responder(RespostaTexto(5, longo + "BCDEFGH"));
    par.Responder(RespostaTexto(5, "IP:1.2.3.4\r\n"));
    std::string resultado;
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(longo.substr(0, 274), resultado);
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("IP:1.2.3.4\r\n", resultado);
    EXPECT_EQ("1.2.3.4", b.e.GetIpLido());
}

TEST(LerEnderecosTexto, ValoresVaziosOuSemFimDeLinhaNaoMudamOsCampos) {
    ParTcp par("127.6.2.8", 5003);
    Bancada b(33);
    b.e.SetIpLido("ip");
    b.e.SetMascaraLida("mascara");
    b.e.SetGatewayLido("gateway");
    ASSERT_TRUE(b.ConectarTcp("127.6.2.8"));
    par.Responder(RespostaTexto(5, "IP:\r\nMask:   \r\nGateway:10.0.0.1"));
    std::string resultado;
    ASSERT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("ip", b.e.GetIpLido());
    EXPECT_EQ("", b.e.GetMascaraLida());  // present but blank
    EXPECT_EQ("gateway", b.e.GetGatewayLido());
}

TEST(LerEnderecosTexto, FalhasDeEnvioERecepcao) {
    ParTcp par("127.6.2.9", 5003);
    Bancada b(4);
    b.e.SetIpLido("anterior");
    ASSERT_TRUE(b.ConectarTcp("127.6.2.9"));
    par.Calar();
    std::string resultado;
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Falha na recepção (recv).", resultado);
    EXPECT_EQ("anterior", b.e.GetIpLido());
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Leitura de IP falhou.", resultado);
}

TEST(LerEnderecosTexto, SerialComTextoAPartirDoByte3) {
    struct Caso {
        uint32_t modelo;
        uint8_t rtu;
        const char* pedido;
    };
    const Caso casos[] = {{3, 1, "10 02 01 4C 1F 10 03 A8 E0"},
                          {22, 2, "10 02 02 4C 1F 10 03 A8 68"}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.modelo);
        PtyTeste pty;
        Bancada b(c.modelo);
        b.e.SetRtu(c.rtu);
        ASSERT_TRUE(b.ConectarSerial(pty));
        std::string resultado;
        auto ler = EmParalelo([&] { return b.e.LerConfiguracao(resultado); });
        EXPECT_EQ(c.pedido, ParaHex(Atender(pty, 9, RespostaTexto(3, kTextoEquipamento))));
        EXPECT_TRUE(ler.get());
        EXPECT_EQ(kTextoLimpo, resultado);
        EXPECT_EQ("10.0.0.5", b.e.GetIpLido());
        EXPECT_EQ("255.255.255.0", b.e.GetMascaraLida());
    }
}

TEST(LerEnderecosTexto, SerialMudaNaoResponde) {
    PtyTeste pty;
    Bancada b(5);
    ASSERT_TRUE(b.ConectarSerial(pty));
    std::string resultado;
    auto ler = EmParalelo([&] { return b.e.LerConfiguracao(resultado); });
    Atender(pty, 9, {});
    EXPECT_FALSE(ler.get());
    EXPECT_EQ("Falha na recepção (recv).", resultado);
    b.e.Desconecta();
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Leitura de IP falhou.", resultado);
}

// ---- family 21: Modbus registers

const char* const kPedidoProgramacao = "00 00 00 00 00 06 01 03 05 00 00 04";
const char* const kPedidoMedicao = "00 00 00 00 00 06 01 03 04 00 00 0E";
// Inputs: only input 1 at 1; outputs 1 and 3 bistable; IP 10.1.2.3.
const char* const kRegistrosProgramacao = "00 01 00 05 0A 01 02 03";
// 1.5, -2.25, 127, 0, 12.3456, 25.0625, -0.0004, low 16 bits first.
const char* const kRegistrosMedicao =
    "00 00 3F C0 00 00 C0 10 00 00 42 FE 00 00 00 00 87 94 41 45 80 00 41 C8 B7 17 B9 D1";

std::string TextoProgramacao() {
    std::string t = "\r\nProgramação ativa:\r\nE1:Ativa em:1\r\n";
    for (int i = 2; i <= 16; ++i) {
        t += "E" + std::to_string(i) + ":Ativa em:0\r\n";
    }
    t += "Saída 1:(1) Biestável\r\nSaída 2:(0) Monoestável\r\n"
         "Saída 3:(1) Biestável\r\nSaída 4:(0) Monoestável\r\n"
         "IP:010.001.002.003";
    return t;
}

const char* const kTextoMedicao =
    "\r\nMedição:\r\nIACS:1.500\r\nIDC:-2.250\r\nVFN:127.000\r\nVNT:0.000\r\n"
    "VDC:12.346\r\nTEMP1:25.062\r\nTEMP2:-0.000\r\n";

TEST(LerRegistrosMedicao, ProgramacaoEMedicao) {
    ParTcp par("127.6.2.10", 502);
    Bancada b(30);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.10"));
    par.Responder(LeituraModbus(Hex(kRegistrosProgramacao)));
    par.Responder(LeituraModbus(Hex(kRegistrosMedicao)));
    std::string resultado = "velho";
    EXPECT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(std::string(kPedidoProgramacao) + " " + kPedidoMedicao, ParaHex(par.Recebido(24)));
    EXPECT_EQ(TextoProgramacao() + kTextoMedicao, resultado);
    EXPECT_EQ(0x0001, b.e.entradasDigitais);
    EXPECT_EQ(0x0005, b.e.saidasDigitais);
    EXPECT_EQ(0x0302010Au, b.e.ipModbus);
    EXPECT_EQ("010.001.002.003", b.e.GetIpLido());
}

// A Portuguese locale writes "1,500"; the device values must not follow it.
bool LocalComVirgula(std::filesystem::path& pasta) {
    for (const char* nome : {"pt_BR.UTF-8", "pt_BR.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, nome)) {
            break;
        }
    }
    char teste[16];
    std::snprintf(teste, sizeof teste, "%.1f", 1.5);
    if (std::string(teste) == "1,5") {
        return true;
    }
    // No such locale installed: compile one into a private directory.
    pasta = std::filesystem::temp_directory_path() / ("tvx-locale-" + std::to_string(::getpid()));
    std::filesystem::create_directories(pasta);
    const std::string comando =
        "localedef -i pt_BR -f UTF-8 " + (pasta / "pt_BR.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(comando.c_str()) != 0) {
        return false;
    }
    ::setenv("LOCPATH", pasta.c_str(), 1);
    if (!std::setlocale(LC_ALL, "pt_BR.UTF-8")) {
        return false;
    }
    std::snprintf(teste, sizeof teste, "%.1f", 1.5);
    return std::string(teste) == "1,5";
}

TEST(LerRegistrosMedicao, PontoDecimalQualquerQueSejaOLocal) {
    std::filesystem::path pasta;
    const bool virgula = LocalComVirgula(pasta);
    struct Limpeza {
        std::filesystem::path& pasta;
        ~Limpeza() {
            std::setlocale(LC_ALL, "C");
            if (!pasta.empty()) {
                std::error_code erro;
                std::filesystem::remove_all(pasta, erro);
            }
        }
    } limpeza{pasta};
    if (!virgula) {
        GTEST_SKIP() << "no locale with a decimal comma could be set";
    }
    ParTcp par("127.6.2.11", 502);
    Bancada b(30);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.11"));
    par.Responder(LeituraModbus(Hex(kRegistrosProgramacao)));
    par.Responder(LeituraModbus(Hex(kRegistrosMedicao)));
    std::string resultado;
    EXPECT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(TextoProgramacao() + kTextoMedicao, resultado);
}

TEST(LerRegistrosMedicao, BlocoDeProgramacaoInacessivel) {
    ParTcp par("127.6.2.12", 502);
    Bancada b(30);
    b.e.SetIpLido("anterior");
    ASSERT_TRUE(b.ConectarTcp("127.6.2.12"));
    par.Responder(ExcecaoModbus(0x03));
    par.Responder(LeituraModbus(Hex(kRegistrosMedicao)));
    std::string resultado;
    EXPECT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(kTextoMedicao, resultado);
    EXPECT_EQ("anterior", b.e.GetIpLido());
    EXPECT_EQ(0xFFFF, b.e.entradasDigitais);
    EXPECT_EQ(3, b.e.saidasDigitais);
    EXPECT_EQ(0u, b.e.ipModbus);
}

TEST(LerRegistrosMedicao, BlocoDeMedicaoInacessivel) {
    ParTcp par("127.6.2.13", 502);
    Bancada b(30);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.13"));
    par.Responder(LeituraModbus(Hex(kRegistrosProgramacao)));
    par.Responder(ExcecaoModbus(0x03));
    std::string resultado;
    EXPECT_TRUE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ(TextoProgramacao(), resultado);
}

TEST(LerRegistrosMedicao, RespostaCurtaNaoViraValores) {
    ParTcp par("127.6.2.15", 502);
    Bancada b(30);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.15"));
    // Two registers where four were asked for, then a count that lies.
    par.Responder(LeituraModbus(Hex("00 00 00 00")));
    std::vector<uint8_t> mentira = LeituraModbus(Hex("00 00 3F C0"));
    mentira[8] = 28;
    par.Responder(mentira);
    std::string resultado;
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Falha na recepção (recv).", resultado);
    EXPECT_EQ(0xFFFF, b.e.entradasDigitais);
    EXPECT_EQ(3, b.e.saidasDigitais);
    EXPECT_EQ("", b.e.GetIpLido());
}

// A device that answered neither block was not read.
TEST(LerRegistrosMedicao, NadaLidoEFalhaDeRecepcao) {
    ParTcp par("127.6.2.14", 502);
    Bancada b(30);
    ASSERT_TRUE(b.ConectarTcp("127.6.2.14"));
    par.Calar();
    std::string resultado = "velho";
    EXPECT_FALSE(b.e.LerConfiguracao(resultado));
    EXPECT_EQ("Falha na recepção (recv).", resultado);
    EXPECT_TRUE(b.e.canal.UsaTcp());
    EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro());
}

// Whatever bit pattern a register pair holds is a float the text shows whole.
TEST(LerRegistrosMedicao, ValoresExtremosDaMedicao) {
    std::vector<uint8_t> bytes;
    for (const uint32_t bits : {0x7F7FFFFFu, 0xFF800000u, 0x7FC00000u, 0x00000001u, 0x80000000u,
                                0x3F800000u, 0x3F800000u}) {
        const std::vector<uint8_t> par{static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits),
                                       static_cast<uint8_t>(bits >> 24),
                                       static_cast<uint8_t>(bits >> 16)};
        bytes.insert(bytes.end(), par.begin(), par.end());
    }
    EXPECT_EQ(
        "\r\nMedição:\r\nIACS:340282346638528859811704183484516925440.000\r\nIDC:-inf\r\n"
        "VFN:nan\r\nVNT:0.000\r\nVDC:-0.000\r\nTEMP1:1.000\r\nTEMP2:1.000\r\n",
        protocolos::TextoMedicoes(bytes.data()));
    // A block counts only with every byte asked for, by length and by count.
    std::vector<uint8_t> resposta = LeituraModbus(bytes);
    EXPECT_TRUE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 36, 28));
    resposta[8] = 27;
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));
}

// ---- dispatch

TEST(LerConfiguracao, ModeloSemLeituraFalhaComResultadoVazio) {
    for (uint32_t modelo : {0u, 8u, 18u, 19u, 21u}) {
        SCOPED_TRACE(modelo);
        Bancada b(modelo);
        std::string resultado = "velho";
        EXPECT_FALSE(b.e.LerConfiguracao(resultado));
        EXPECT_EQ("", resultado);
    }
}

}  // namespace
}  // namespace tvx
