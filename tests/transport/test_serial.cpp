// The serial port on a real pseudo-terminal pair: the port opens the slave by
// its path, the test plays the device on the master side and reads the line
// settings back from the kernel.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "support/par_tcp.h"
#include "support/pty_teste.h"
#include "transport/codec.h"
#include "transport/os/porta_serial_linux.h"
#include "transport/serial.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::ParaHex;
using teste::PtyTeste;
using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

long long MsDesde(Relogio::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Relogio::now() - inicio).count();
}

std::vector<uint8_t> ComCrcModbus(std::vector<uint8_t> quadro) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : quadro) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        }
    }
    quadro.push_back(static_cast<uint8_t>(crc));
    quadro.push_back(static_cast<uint8_t>(crc >> 8));
    return quadro;
}

// ---------------------------------------------------------------- tables

TEST(SerialTabelas, NomesComPorIndice) {
    std::string nome = "antes";
    ASSERT_TRUE(NomeComPorIndice(nome, 0));
    EXPECT_EQ("COM1", nome);
    ASSERT_TRUE(NomeComPorIndice(nome, 19));
    EXPECT_EQ("COM20", nome);
    EXPECT_FALSE(NomeComPorIndice(nome, 20));
    EXPECT_EQ("COM20", nome);
}

TEST(SerialTabelas, TextosEIndicesDeVelocidade) {
    const char* textos[] = {"110",   "300",   "600",    "1200",   "2400",
                            "4800",  "9600",  "14400",  "19200",  "38400",
                            "56000", "57600", "115200", "128000", "256000"};
    for (unsigned i = 0; i < 15; ++i) {
        ASSERT_NE(nullptr, TextoVelocidade(i));
        EXPECT_STREQ(textos[i], TextoVelocidade(i));
        EXPECT_EQ(i, IndiceDaVelocidade(textos[i]));
        EXPECT_EQ(static_cast<uint32_t>(std::stoul(textos[i])), VelocidadePorIndice(i));
    }
    EXPECT_STREQ("256000", TextoVelocidade(14));
    EXPECT_EQ(nullptr, TextoVelocidade(15));
    EXPECT_EQ(6, IndiceDaVelocidade("9600"));
    EXPECT_EQ(255, IndiceDaVelocidade("9600 "));
    EXPECT_EQ(255, IndiceDaVelocidade(" 9600"));
    EXPECT_EQ(255, IndiceDaVelocidade(""));
    EXPECT_EQ(255, IndiceDaVelocidade("09600"));
    EXPECT_EQ(9600u, VelocidadePorIndice(15));
    EXPECT_EQ(9600u, VelocidadePorIndice(255));
}

// ---------------------------------------------------------------- settings

TEST(SerialAjustes, ConstrucaoEPadrao) {
    cSerial s;
    EXPECT_FALSE(s.PortaAberta());
    EXPECT_EQ("", s.NomePorta());
    EXPECT_EQ(0, s.IndiceVelocidade());
    EXPECT_EQ(0u, s.TempoLeitura());
    // Port index 0 is COM1 until a name is set.
    EXPECT_EQ("/dev/ttyS0", s.CaminhoDispositivo());

    s.DefinirNomePorta("ttyUSB3");
    s.DefinirIndiceVelocidade(12);
    s.DefinirTempoLeitura(10);
    EXPECT_TRUE(s.DefinirPadrao());
    EXPECT_EQ("COM1", s.NomePorta());
    EXPECT_EQ(6, s.IndiceVelocidade());
    EXPECT_EQ(3000u, s.TempoLeitura());
    EXPECT_EQ("/dev/ttyS0", s.CaminhoDispositivo());
}

TEST(SerialAjustes, NomesViramCaminhos) {
    const std::pair<const char*, const char*> casos[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM3", "/dev/ttyS2"},
        {"COM20", "/dev/ttyS19"},
        {"COM21", "/dev/ttyS20"},
        {"com3", "/dev/ttyS2"},
        {"\\\\.\\COM3", "/dev/ttyS2"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyACM1", "/dev/ttyACM1"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0",
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/dev/ttyS4", "/dev/ttyS4"},
        {"COM", "/dev/COM"},
        {"COM0", "/dev/COM0"},
        {"COM3A", "/dev/COM3A"},
        {"", ""},
    };
    for (const auto& [nome, caminho] : casos) {
        cSerial s;
        ASSERT_TRUE(s.DefinirNomePorta(nome));
        EXPECT_EQ(nome, s.NomePorta());
        EXPECT_EQ(caminho, s.CaminhoDispositivo()) << nome;
    }
}

TEST(SerialAjustes, NomeLimitadoA511Caracteres) {
    cSerial s;
    s.DefinirNomePorta(std::string(600, 'x'));
    EXPECT_EQ(std::string(511, 'x'), s.NomePorta());
    s.DefinirNomePorta(std::string("ttyUSB0\0lixo", 12));
    EXPECT_EQ("ttyUSB0", s.NomePorta());
    EXPECT_EQ("/dev/ttyUSB0", s.CaminhoDispositivo());
}

TEST(SerialAjustes, IndiceDeVelocidadeAte15) {
    cSerial s;
    ASSERT_TRUE(s.DefinirIndiceVelocidade(9));
    EXPECT_FALSE(s.DefinirIndiceVelocidade(16));
    EXPECT_EQ(9, s.IndiceVelocidade());
    EXPECT_TRUE(s.DefinirIndiceVelocidade(15));
    EXPECT_EQ(15, s.IndiceVelocidade());
}

TEST(SerialAjustes, AberturaQueFalhaDeixaFechada) {
    cSerial s;
    s.DefinirNomePorta("");
    EXPECT_FALSE(s.AbrirPorta());
    EXPECT_FALSE(s.PortaAberta());
    s.DefinirNomePorta("/dev/tvx-porta-que-nao-existe");
    EXPECT_FALSE(s.AbrirPorta());
    EXPECT_FALSE(s.PortaAberta());

    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_FALSE(s.EscreverPorta(b, 4));
    EXPECT_EQ(0, s.LerBytes(b, 4, 4));
    EXPECT_EQ(kModbusSemResposta, s.LerRespostaModbus(b, b, 4));
}

TEST(SerialAjustes, DispositivoQueNaoETerminalERecusadoNaAbertura) {
    cSerial s;
    s.DefinirPadrao();
    s.DefinirNomePorta("/dev/null");
    EXPECT_FALSE(s.AbrirPorta());
    EXPECT_FALSE(s.PortaAberta());
    EXPECT_EQ(s.MotivoFalhaAbertura(), "\"/dev/null\" não é um dispositivo serial");
}

// ---------------------------------------------------------------- line

class SerialPty : public ::testing::Test {
  protected:
    void SetUp() override {
        serial.DefinirPadrao();
        serial.DefinirNomePorta(pty.CaminhoEscravo());
        serial.DefinirTempoLeitura(100);
    }
    void Abrir() { ASSERT_TRUE(serial.AbrirPorta()); }

    PtyTeste pty;
    cSerial serial;
};

TEST_F(SerialPty, CadaVelocidadeDaTabelaE8N1Bruto) {
    for (uint8_t i = 0; i <= 15; ++i) {
        SCOPED_TRACE(int(i));
        ASSERT_TRUE(serial.DefinirIndiceVelocidade(i));
        ASSERT_TRUE(serial.AbrirPorta());
        LinhaSerial linha;
        ASSERT_TRUE(LerLinhaSerial(pty.Mestre(), linha));
        EXPECT_EQ(VelocidadePorIndice(i), linha.velocidadeSaida);
        EXPECT_EQ(VelocidadePorIndice(i), linha.velocidadeEntrada);
        EXPECT_EQ(8, linha.bitsDados);
        EXPECT_FALSE(linha.paridade);
        EXPECT_FALSE(linha.duasParadas);
        EXPECT_FALSE(linha.controleHardware);
        EXPECT_FALSE(linha.controleSoftware);
        EXPECT_TRUE(linha.receptorLigado);
        EXPECT_TRUE(linha.ignoraModem);
        EXPECT_TRUE(linha.bruto);
        serial.FecharPorta();
    }
    EXPECT_EQ(9600u, VelocidadePorIndice(15));
}

TEST_F(SerialPty, PortaExclusiva) {
    Abrir();
    cSerial outra;
    outra.DefinirNomePorta(pty.CaminhoEscravo());
    EXPECT_FALSE(outra.AbrirPorta());
    EXPECT_FALSE(outra.PortaAberta());
    serial.FecharPorta();
    EXPECT_TRUE(outra.AbrirPorta());
}

TEST_F(SerialPty, CadaValorDeByteChegaIntacto) {
    Abrir();
    std::vector<uint8_t> todos(256);
    for (int i = 0; i < 256; ++i) {
        todos[i] = static_cast<uint8_t>(i);
    }
    ASSERT_TRUE(serial.EscreverPorta(todos.data(), todos.size()));
    EXPECT_EQ(todos, pty.Ler(256, 2s));

    // And in the other direction: no CR/LF mapping, no XON/XOFF, no ^C.
    pty.Escrever(todos);
    std::vector<uint8_t> lidos(256);
    EXPECT_EQ(256, serial.LerBytes(lidos.data(), 256, 256));
    EXPECT_EQ(todos, lidos);
}

TEST_F(SerialPty, EscritaDescartaEntradaPendente) {
    Abrir();
    pty.Escrever(Hex("EE EE EE"));  // a stale reply from an earlier exchange
    std::this_thread::sleep_for(20ms);
    const auto pedido = Hex("10 02 01 4C 16 10 03 A8 54");
    ASSERT_TRUE(serial.EscreverPorta(pedido.data(), pedido.size()));
    EXPECT_EQ("10 02 01 4C 16 10 03 A8 54", ParaHex(pty.Ler(9, 2s)));
    pty.Escrever(Hex("10 02 01 06"));
    uint8_t rx[24] = {};
    EXPECT_EQ(4, serial.LerBytes(rx, 24, 4));
    EXPECT_EQ("10 02 01 06", ParaHex(rx, 4));
}

TEST_F(SerialPty, EscritaLongaComEscritasParciais) {
    Abrir();
    std::vector<uint8_t> grande(300000);
    for (size_t i = 0; i < grande.size(); ++i) {
        grande[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    std::vector<uint8_t> recebido;
    std::thread dispositivo([&] {
        // A slow reader: the kernel buffer fills and the writer must wait.
        std::this_thread::sleep_for(100ms);
        recebido = pty.Ler(grande.size(), 20s);
    });
    EXPECT_TRUE(serial.EscreverPorta(grande.data(), grande.size()));
    dispositivo.join();
    EXPECT_TRUE(recebido == grande);
}

TEST_F(SerialPty, EscritaNaPortaDesligadaFalha) {
    Abrir();
    pty.Desligar();
    const auto pedido = Hex("01 03 04 00 00 0E C5 3E");
    EXPECT_FALSE(serial.EscreverPorta(pedido.data(), pedido.size()));
    EXPECT_TRUE(serial.PortaAberta());
}

TEST_F(SerialPty, PortaFechadaNaoEscreve) {
    const uint8_t b = 1;
    EXPECT_FALSE(serial.EscreverPorta(&b, 1));
    EXPECT_TRUE(pty.Ler(1, 100ms).empty());
}

// ---------------------------------------------------------------- LerBytes

TEST_F(SerialPty, LerBytesDesisteNaSextaLeituraVazia) {
    Abrir();
    pty.Escrever(Hex("10 02 01 00 00 06 00 00 00 00"));
    uint8_t rx[24];
    std::memset(rx, 0xCC, sizeof rx);
    const auto inicio = Relogio::now();
    EXPECT_EQ(10, serial.LerBytes(rx, 24, 12));
    const auto ms = MsDesde(inicio);
    // Six empty reads, each one time-out (100 ms) and a 100 ms pause.
    EXPECT_GE(ms, 1190);
    EXPECT_LT(ms, 2000);
    EXPECT_EQ("10 02 01 00 00 06 00 00 00 00 CC CC", ParaHex(rx, 12));
}

TEST_F(SerialPty, LerBytesParaNaContagemEsperadaEDescartaOResto) {
    Abrir();
    pty.Escrever(std::vector<uint8_t>(20, 0x41));
    std::this_thread::sleep_for(20ms);
    uint8_t rx[24] = {};
    const auto inicio = Relogio::now();
    EXPECT_EQ(12, serial.LerBytes(rx, 24, 12));
    EXPECT_LT(MsDesde(inicio), 90);
    // The eight bytes behind the expected ones were discarded.
    uint8_t resto[2048];
    EXPECT_EQ(0, serial.LerBytes(resto, 2048, 2048));
}

TEST_F(SerialPty, LerBytesNuncaPassaDaCapacidade) {
    Abrir();
    pty.Escrever(std::vector<uint8_t>(20, 0x41));
    uint8_t rx[16];
    std::memset(rx, 0xCC, sizeof rx);
    EXPECT_EQ(8, serial.LerBytes(rx, 8, 12));
    EXPECT_EQ("41 41 41 41 41 41 41 41 CC CC CC CC", ParaHex(rx, 12));
    EXPECT_EQ(0, serial.LerBytes(rx, 0, 12));
}

TEST_F(SerialPty, Capacidade2048TerminaNaPrimeiraPausa) {
    serial.DefinirTempoLeitura(200);
    Abrir();
    pty.Escrever(Hex("01 02 03 04 05"));
    uint8_t rx[2048];
    auto inicio = Relogio::now();
    EXPECT_EQ(5, serial.LerBytes(rx, 2048, 100));
    auto ms = MsDesde(inicio);
    EXPECT_GE(ms, 195);
    EXPECT_LT(ms, 450);
    EXPECT_EQ("01 02 03 04 05", ParaHex(rx, 5));

    // The time-out set while open applies to the next wait.
    serial.DefinirTempoLeitura(50);
    inicio = Relogio::now();
    EXPECT_EQ(0, serial.LerBytes(rx, 2048, 100));
    ms = MsDesde(inicio);
    EXPECT_GE(ms, 45);
    EXPECT_LT(ms, 190);
}

TEST_F(SerialPty, LerBytesNaPortaDesligadaTerminaLogo) {
    serial.DefinirTempoLeitura(1000);
    Abrir();
    pty.Desligar();
    uint8_t rx[24];
    const auto inicio = Relogio::now();
    EXPECT_EQ(0, serial.LerBytes(rx, 24, 12));
    EXPECT_LT(MsDesde(inicio), 500);
}

TEST_F(SerialPty, PararLeituraDeOutraThread) {
    serial.DefinirTempoLeitura(3000);
    Abrir();
    pty.Escrever(Hex("10 02 01"));
    uint8_t rx[24] = {};
    std::thread parador([&] {
        std::this_thread::sleep_for(150ms);
        serial.PararLeitura();
    });
    const auto inicio = Relogio::now();
    const uint16_t n = serial.LerBytes(rx, 24, 12);
    const auto ms = MsDesde(inicio);
    parador.join();
    EXPECT_EQ(3, n);
    EXPECT_EQ("10 02 01", ParaHex(rx, 3));
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 400);
}

// ---------------------------------------------------------------- Modbus

class SerialModbus : public SerialPty {
  protected:
    void SetUp() override {
        SerialPty::SetUp();
        Abrir();
        std::memset(resposta, 0xCC, sizeof resposta);
    }
    // Read 14 holding registers from 1024 of unit 1.
    const std::vector<uint8_t> pedido = Hex("01 03 04 00 00 0E C5 3E");
    uint8_t resposta[300];
};

TEST_F(SerialModbus, RespostaDeLeituraBoa) {
    std::vector<uint8_t> quadro = Hex("01 03 1C");
    for (uint8_t i = 0; i < 28; ++i) {
        quadro.push_back(static_cast<uint8_t>(0x10 + i));
    }
    quadro = ComCrcModbus(quadro);
    ASSERT_EQ(33u, quadro.size());
    pty.Escrever(quadro);
    const auto inicio = Relogio::now();
    EXPECT_EQ(kModbusOk, serial.LerRespostaModbus(pedido.data(), resposta, 2048));
    EXPECT_LT(MsDesde(inicio), 90);
    EXPECT_EQ(ParaHex(quadro), ParaHex(resposta, 33));
    EXPECT_EQ(0xCC, resposta[33]);
}

TEST_F(SerialModbus, ExcecaoTerminaNoSegundoByte) {
    pty.Escrever(Hex("01 83 02 C0 F1"));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(kModbusFuncaoErrada, serial.LerRespostaModbus(pedido.data(), resposta, 2048));
    EXPECT_EQ("01 CC", ParaHex(resposta, 2));
    // What followed the refused byte was discarded with the rest.
    uint8_t rx[2048];
    EXPECT_EQ(0, serial.LerBytes(rx, 2048, 10));
}

TEST_F(SerialModbus, RespostaTruncadaDaStatus1) {
    serial.DefinirTempoLeitura(50);
    pty.Escrever(Hex("01 03 1C 00 01"));
    const auto inicio = Relogio::now();
    EXPECT_EQ(kModbusSemResposta, serial.LerRespostaModbus(pedido.data(), resposta, 2048));
    const auto ms = MsDesde(inicio);
    // Six empty reads of 50 ms, each followed by 100 ms.
    EXPECT_GE(ms, 890);
    EXPECT_LT(ms, 1600);
}

TEST_F(SerialModbus, CapacidadeAtingida) {
    std::vector<uint8_t> quadro = Hex("01 03 1C");
    quadro.resize(3 + 28, 0x55);
    pty.Escrever(ComCrcModbus(quadro));
    EXPECT_EQ(kModbusCapacidade, serial.LerRespostaModbus(pedido.data(), resposta, 10));
    EXPECT_EQ("01 03 1C 55 55 55 55 55 55 55 CC CC", ParaHex(resposta, 12));
    EXPECT_EQ(kModbusCapacidade, serial.LerRespostaModbus(pedido.data(), resposta, 0));
}

TEST_F(SerialModbus, LeituraParadaNaoPassaPorBoa) {
    serial.DefinirTempoLeitura(3000);
    pty.Escrever(Hex("01 03 1C 00"));
    std::thread parador([&] {
        std::this_thread::sleep_for(150ms);
        serial.PararLeitura();
    });
    const auto inicio = Relogio::now();
    const uint8_t status = serial.LerRespostaModbus(pedido.data(), resposta, 2048);
    const auto ms = MsDesde(inicio);
    parador.join();
    EXPECT_EQ(kModbusSemResposta, status);
    EXPECT_LT(ms, 400);
}

TEST_F(SerialModbus, PortaDesligadaDaStatus1) {
    serial.DefinirTempoLeitura(1000);
    pty.Desligar();
    const auto inicio = Relogio::now();
    EXPECT_EQ(kModbusSemResposta, serial.LerRespostaModbus(pedido.data(), resposta, 2048));
    EXPECT_LT(MsDesde(inicio), 500);
}

}  // namespace
}  // namespace tvx
