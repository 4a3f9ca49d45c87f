// The serial port on a real pseudo-terminal pair: the port opens the slave by
// its path, the test plays the device on the master side and reads the line
// settings back from the kernel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/par_tcp.h"
#include "support/pty_teste.h"
#include "transport/codec.h"
#include "transport/os/motivo_serial.h"
#include "transport/os/porta_serial_linux.h"
#include "transport/serial.h"

namespace tvx {
namespace {

using teste::Hex;
using teste::MsDesde;
using teste::ParaHex;
using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;

TEST(SerialAjustes, TabelasNomesEPadrao) {
    // The texts against the kernel's rates: CadaVelocidadeE8N1BrutoExclusiva.
    for (unsigned i = 0; i < 15; ++i) {
        EXPECT_EQ(i, IndiceDaVelocidade(TextoVelocidade(i)));
    }
    EXPECT_EQ(nullptr, TextoVelocidade(15));
    EXPECT_EQ(255, IndiceDaVelocidade("09600"));
    std::string nome = "antes";
    ASSERT_TRUE(NomeComPorIndice(nome, 19));
    EXPECT_EQ("COM20", nome);
    EXPECT_FALSE(NomeComPorIndice(nome, 20));
    EXPECT_EQ("COM20", nome);
    const std::pair<const char*, const char*> casos[] = {
        {"COM21", "/dev/ttyS20"},
        {"com3", "/dev/ttyS2"},
        {"\\\\.\\COM3", "/dev/ttyS2"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI-port0", "/dev/serial/by-id/usb-FTDI-port0"},
        {"COM0", "/dev/COM0"},
        {"COM3A", "/dev/COM3A"},
        {"COM", "/dev/COM"},
        {"", ""},
    };
    for (const auto& [nome, caminho] : casos) {
        cSerial s;
        ASSERT_TRUE(s.DefinirNomePorta(nome));
        EXPECT_EQ(caminho, s.CaminhoDispositivo()) << nome;
    }
    cSerial s;
    EXPECT_EQ("/dev/ttyS0", s.CaminhoDispositivo());  // index 0 until a name is set
    s.DefinirNomePorta(std::string(600, 'x'));
    EXPECT_EQ(std::string(511, 'x'), s.NomePorta());
    s.DefinirNomePorta(std::string("ttyUSB0\0lixo", 12));
    EXPECT_EQ("/dev/ttyUSB0", s.CaminhoDispositivo());
    EXPECT_FALSE(s.DefinirIndiceVelocidade(16));
    ASSERT_TRUE(s.DefinirPadrao());  // 38400 and three seconds for a reply
    EXPECT_EQ(std::tuple(s.NomePorta(), s.IndiceVelocidade(), s.TempoLeitura()),
              std::tuple("COM1", 6, 3000u));

    // Opens, but is no tty: the refused settings leave it open, once.
    uint8_t b[4] = {1, 2, 3, 4};
    for (const char* nome : {"", "/dev/tvx-porta-que-nao-existe"}) {
        s.DefinirNomePorta(nome);
        EXPECT_FALSE(s.AbrirPorta() || s.PortaAberta() || s.EscreverPorta(b, 4));
    }
    EXPECT_EQ(0, s.LerBytes(b, 4, 4));
    EXPECT_EQ(kModbusSemResposta, s.LerRespostaModbus(b, b, 4));
    // A device that is no terminal is refused at the opening.
    s.DefinirNomePorta("/dev/null");
    EXPECT_FALSE(s.AbrirPorta() || s.PortaAberta());
    EXPECT_EQ(s.MotivoFalhaAbertura(), "\"/dev/null\" não é um dispositivo serial");
}

class SerialPty : public ::testing::Test {
  protected:
    void SetUp() override {
        serial.DefinirPadrao();
        serial.DefinirNomePorta(pty.CaminhoEscravo());
        serial.DefinirTempoLeitura(100);
    }
    teste::PtyTeste pty;
    cSerial serial;
    uint8_t rx[2048];
};

TEST_F(SerialPty, CadaVelocidadeE8N1BrutoExclusiva) {
    for (uint8_t i = 0; i <= 15; ++i) {
        SCOPED_TRACE(int(i));
        ASSERT_TRUE(serial.DefinirIndiceVelocidade(i));
        ASSERT_TRUE(serial.AbrirPorta());
        LinhaSerial l;
        ASSERT_TRUE(LerLinhaSerial(pty.Mestre(), l));
        const uint32_t velocidade = i < 15 ? std::stoul(TextoVelocidade(i)) : 9600;
        EXPECT_EQ(velocidade, l.velocidadeSaida);
        EXPECT_EQ(velocidade, l.velocidadeEntrada);
        EXPECT_EQ(8, l.bitsDados);
        EXPECT_FALSE(l.paridade || l.duasParadas || l.controleHardware || l.controleSoftware);
        EXPECT_TRUE(l.receptorLigado && l.ignoraModem && l.bruto);
        cSerial outra;
        outra.DefinirNomePorta(pty.CaminhoEscravo());
        EXPECT_FALSE(outra.AbrirPorta());
        serial.FecharPorta();
    }
}

TEST_F(SerialPty, CadaByteIntactoEEntradaVelhaDescartada) {
    ASSERT_TRUE(serial.AbrirPorta());
    std::vector<uint8_t> todos(256);
    for (int i = 0; i < 256; ++i) {
        todos[i] = static_cast<uint8_t>(i);
    }
    ASSERT_TRUE(serial.EscreverPorta(todos.data(), todos.size()));
    EXPECT_EQ(todos, pty.Ler(256, 2s));
    // And in the other direction: no CR/LF mapping, no XON/XOFF, no ^C.
    pty.Escrever(todos);
    EXPECT_EQ(256, serial.LerBytes(rx, 256, 256));
    EXPECT_EQ(todos, std::vector<uint8_t>(rx, rx + 256));

    pty.Escrever(Hex("EE EE EE"));  // a stale reply from an earlier exchange
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(serial.EscreverPorta(todos.data(), 1));
    pty.Ler(1, 2s);
    pty.Escrever(Hex("10 02 01 06"));
    EXPECT_EQ(4, serial.LerBytes(rx, 24, 4));
    EXPECT_EQ("10 02 01 06", ParaHex(rx, 4));

    // A long write to a slow reader waits for the kernel buffer.
    std::vector<uint8_t> grande(300000);
    for (size_t i = 0; i < grande.size(); ++i) {
        grande[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    std::vector<uint8_t> recebido;
    std::thread dispositivo([&] {
        std::this_thread::sleep_for(100ms);
        recebido = pty.Ler(grande.size(), 20s);
    });
    EXPECT_TRUE(serial.EscreverPorta(grande.data(), grande.size()));
    dispositivo.join();
    EXPECT_TRUE(recebido == grande);
}

TEST_F(SerialPty, LerBytesPausasContagemECapacidade) {
    ASSERT_TRUE(serial.AbrirPorta());
    pty.Escrever(Hex("10 02 01 00 00 06 00 00 00 00"));
    std::memset(rx, 0xCC, sizeof rx);
    auto inicio = Relogio::now();
    EXPECT_EQ(10, serial.LerBytes(rx, 24, 12));
    // Six empty reads, each one time-out (100 ms) and a 100 ms pause.
    EXPECT_GE(MsDesde(inicio), 1190);
    EXPECT_LT(MsDesde(inicio), 2000);
    EXPECT_EQ("10 02 01 00 00 06 00 00 00 00 CC CC", ParaHex(rx, 12));
    // The expected count ends the read at once; what follows is discarded.
    pty.Escrever(std::vector<uint8_t>(20, 0x41));
    std::this_thread::sleep_for(20ms);
    inicio = Relogio::now();
    EXPECT_EQ(12, serial.LerBytes(rx, 24, 12));
    EXPECT_LT(MsDesde(inicio), 90);
    EXPECT_EQ(0, serial.LerBytes(rx, 2048, 2048));
    // Never past the capacity.
    pty.Escrever(std::vector<uint8_t>(20, 0x41));
    std::memset(rx, 0xCC, sizeof rx);
    EXPECT_EQ(8, serial.LerBytes(rx, 8, 12));
    EXPECT_EQ("41 41 41 41 41 41 41 41 CC CC CC CC", ParaHex(rx, 12));
    EXPECT_EQ(0, serial.LerBytes(rx, 0, 12));
    // With the capacity 2048 the first pause ends the read; the time-out set
    // while open applies to the next wait.
    serial.DefinirTempoLeitura(200);
    pty.Escrever(Hex("01 02 03 04 05"));
    inicio = Relogio::now();
    EXPECT_EQ(5, serial.LerBytes(rx, 2048, 100));
    EXPECT_GE(MsDesde(inicio), 195);
    EXPECT_LT(MsDesde(inicio), 450);
}

TEST_F(SerialPty, RespostasModbusParadaEPortaDesligada) {
    serial.DefinirTempoLeitura(50);
    ASSERT_TRUE(serial.AbrirPorta());
    std::memset(rx, 0xCC, sizeof rx);
    const auto pedido = Hex("01 03 04 00 00 02 C5 3B");
    pty.Escrever(Hex("01 03 04 C0 A8 00 65 87 F8"));
    EXPECT_EQ(kModbusOk, serial.LerRespostaModbus(pedido.data(), rx, 2048));
    EXPECT_EQ("01 03 04 C0 A8 00 65 87 F8 CC", ParaHex(rx, 10));
    // An exception ends at its second byte; the rest is discarded.
    pty.Escrever(Hex("01 83 02 C0 F1"));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(kModbusFuncaoErrada, serial.LerRespostaModbus(pedido.data(), rx, 2048));
    EXPECT_EQ(0, serial.LerBytes(rx + 100, 1000, 10));
    pty.Escrever(Hex("01 03 1C 55 55 55 55 55 55 55 55"));
    std::memset(rx, 0xCC, sizeof rx);
    EXPECT_EQ(kModbusCapacidade, serial.LerRespostaModbus(pedido.data(), rx, 10));
    EXPECT_EQ("01 03 1C 55 55 55 55 55 55 55 CC CC", ParaHex(rx, 12));
    EXPECT_EQ(kModbusCapacidade, serial.LerRespostaModbus(pedido.data(), rx, 0));
    // Truncated: six empty reads of 50 ms, each followed by 100 ms.
    pty.Escrever(Hex("01 03 1C 00 01"));
    auto inicio = Relogio::now();
    EXPECT_EQ(kModbusSemResposta, serial.LerRespostaModbus(pedido.data(), rx, 2048));
    EXPECT_GE(MsDesde(inicio), 890);
    EXPECT_LT(MsDesde(inicio), 1600);

    // A stop from another thread ends a long wait, with what had come.
    serial.DefinirTempoLeitura(3000);
    for (bool modbus : {false, true}) {
        pty.Escrever(Hex("01 03 1C"));
        std::thread parador([&] {
            std::this_thread::sleep_for(150ms);
            serial.PararLeitura();
        });
        inicio = Relogio::now();
        EXPECT_EQ(modbus ? kModbusSemResposta : 3,
                  modbus ? serial.LerRespostaModbus(pedido.data(), rx, 2048)
                         : serial.LerBytes(rx, 24, 12));
        const auto ms = MsDesde(inicio);
        parador.join();
        EXPECT_GE(ms, 140);
        EXPECT_LT(ms, 400);
    }
    pty.Desligar();
    inicio = Relogio::now();
    EXPECT_EQ(0, serial.LerBytes(rx, 24, 12));
    EXPECT_EQ(kModbusSemResposta, serial.LerRespostaModbus(pedido.data(), rx, 2048));
    EXPECT_LT(MsDesde(inicio), 1000);
    EXPECT_FALSE(serial.EscreverPorta(pedido.data(), pedido.size()));
}

// Who holds a serial port, as a UUCP lock file tells: the forms programs
// write, and the holders that no longer count.

TEST(MotivoSerial, DonoPeloArquivoDeLock) {
    const std::filesystem::path pasta =
        std::filesystem::temp_directory_path() / ("tvx-locks-" + std::to_string(getpid()));
    std::filesystem::create_directories(pasta);
    const int32_t binario = 1;
    struct Caso {
        std::string conteudo;
        pid_t dono;
    } casos[] = {
        {"         1\n", 1},  // the usual form: ten columns and a line break
        {std::string(reinterpret_cast<const char*>(&binario), 4), 1},  // old binary form
        {std::to_string(getpid()) + "\n", 0},                          // our own lock
        {"4194305\n", 0},                                              // a stale one
    };
    for (const Caso& c : casos) {
        std::ofstream(pasta / "LCK..ttyUSB7", std::ios::binary) << c.conteudo;
        EXPECT_EQ(DonoPeloArquivoDeLock("/dev/ttyUSB7", pasta.string()), c.dono) << c.conteudo;
    }
    std::filesystem::remove_all(pasta);
}

}  // namespace
}  // namespace tvx
