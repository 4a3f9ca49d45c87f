// The simulator's replies on the wire, byte for byte: the whole runs take
// them for a device's, and the simulator builds them with the program's own
// codec, so only literal bytes can tell a wrong one. Each test runs in a
// network of its own, where the models' ports on 127.0.0.1 are free.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "sim/simulador.h"
#include "support/par_tcp.h"
#include "support/rede_isolada.h"
#include "transport/codec.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The program's end of a TCP link to 127.0.0.1 or of the pseudo-terminal.
class Ponta {
  public:
    Ponta(sim::Simulador& sim, bool serial) {
        if (serial) {
            fd_ = open(sim.CaminhoSerial().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            termios modo{};
            tcgetattr(fd_, &modo);
            cfmakeraw(&modo);
            tcsetattr(fd_, TCSANOW, &modo);
            return;
        }
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{AF_INET, htons(sim.PortaTcp()), {htonl(INADDR_LOOPBACK)}, {}};
        EXPECT_EQ(0, connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa));
    }
    ~Ponta() { close(fd_); }

    // Reads until nothing more comes for 300 ms (the first byte: primeiro ms);
    // once minimo bytes came, 50 ms of quiet end the reply.
    Bytes Trocar(const Bytes& pedido, size_t minimo = 0, int primeiro = 3000) {
        EXPECT_EQ(static_cast<ssize_t>(pedido.size()), write(fd_, pedido.data(), pedido.size()));
        Bytes lido;
        uint8_t buffer[8192];
        pollfd p{fd_, POLLIN, 0};
        for (ssize_t n = 1; n > 0 && poll(&p, 1,
                                          minimo && lido.size() >= minimo ? 50
                                          : lido.empty()                  ? primeiro
                                                                          : 300) > 0;) {
            n = read(fd_, buffer, sizeof buffer);
            lido.insert(lido.end(), buffer, buffer + std::max<ssize_t>(n, 0));
        }
        return lido;
    }

  private:
    int fd_ = -1;
};

Bytes Dle(uint8_t rtu, uint8_t comando, uint8_t sub, const Bytes& dados = {}, bool tcp = false) {
    uint8_t quadro[4096];
    const int16_t n = MontarQuadroDle(quadro + 12, 4084, rtu, comando, sub,
                                      static_cast<int32_t>(dados.size()), dados.data());
    if (!tcp) {
        return Bytes(quadro + 12, quadro + 12 + n);
    }
    return Bytes(quadro, quadro + EncapsularTcp(quadro, 4096, quadro + 12, n, rtu, 0));
}
Bytes DleTcp(uint8_t rtu, uint8_t comando, uint8_t sub, const Bytes& dados = {}) {
    return Dle(rtu, comando, sub, dados, true);
}
Bytes Simples(uint8_t comando, uint8_t sub, const Bytes& dados = {}) {
    uint8_t quadro[4096];
    return Bytes(quadro,
                 quadro + MontarQuadroSimples(quadro, 4096, comando, sub,
                                              static_cast<int32_t>(dados.size()), dados.data()));
}
Bytes Modbus(uint16_t registro, uint16_t quantidade, bool tcp = true) {
    uint8_t rtu[8], quadro[12];
    MontarLeituraModbus(rtu, 1, registro, quantidade);
    return tcp ? Bytes(quadro, quadro + RtuParaTcp(quadro, rtu, 8)) : Bytes(rtu, rtu + 8);
}
Bytes ModbusEscrita(uint16_t registro, const Bytes& dados) {
    uint8_t rtu[64], quadro[68];
    const int n = MontarEscritaModbus(rtu, 1, registro, static_cast<uint8_t>(dados.size() / 2),
                                      static_cast<uint8_t>(dados.size()), dados.data());
    return Bytes(quadro, quadro + RtuParaTcp(quadro, rtu, n));
}
// Zero-padded to its size.
Bytes Bloco(Bytes inicio, size_t tamanho) {
    inicio.resize(tamanho);
    return inicio;
}
Bytes Bloco(const std::string& texto, size_t tamanho) {
    return Bloco(Bytes(texto.begin(), texto.end()), tamanho);
}
// The three addresses in 20-byte slots; with the tag in front, the IP command's payload.
const Bytes kEnderecos = Bloco("10.0.0.5", 20) + Bloco("255.255.0.0", 20) + Bloco("10.0.0.1", 20);
const Bytes kCargaIp = Bloco("TVX5150S", 8) + kEnderecos;

struct Resposta {
    const char* nome;
    uint32_t modelo;
    bool serial;
    Bytes pedido;
    Bytes esperada;
};

// The configuration text of a model fresh from the factory.
Bytes TextoDe(const std::string& nome, const std::string& mac) {
    const std::string texto =
        nome +
        "\r\nIP: 192.168.0.101\r\nMask: 255.255.255.0\r\nGateway: 0.0.0.0\r\nMAC: 02:B4:6D:00:" +
        mac + ":65\r\nRTU: 1\r\n";
    return Bytes(texto.begin(), texto.end());
}

TEST(SimRespostas, CadaFormaDeResposta) {
    const Bytes& textos = kEnderecos;
    Bytes danificado = DleTcp(1, 'L', 22, kCargaIp);
    danificado.back() ^= 0xFF;
    Bytes danificadoRtu = Modbus(1280, 4, false);
    danificadoRtu[7] ^= 0x01;
    const Bytes universal =
        Bloco(Hex("0A 01 02 03 FF FF 00 00 0A 01 00 01 0A 01 00 32 03 04 06 21"), 64);
    const Bytes gateway = Bloco(Hex("AC 10 00 09 FF FF FF 00 AC 10 00 01"), 64);
    const Resposta respostas[] = {
        {"long form, ACK at 7", 3, false, DleTcp(1, 'L', 22, kCargaIp),
         Hex("00 0C 10 02 01 4C 16 06 00 00 10 03 2A BF")},
        {"short form, ACK at 5", 2, false, DleTcp(1, 'L', 22, kCargaIp),
         Hex("00 0A 10 02 01 06 4C 16 10 03 E8 AA")},
        // The restart is acknowledged, then the link dropped.
        {"restart", 3, false, DleTcp(1, 'L', 24, Bloco("TVX5150S", 8)),
         Hex("00 0C 10 02 01 4C 18 06 00 00 10 03 FA B3")},
        {"plain frame, ACK first", 18, false, Simples('L', 22, kCargaIp), Hex("06 4C 16")},
        // The RTU 0x10 goes doubled on the wire.
        {"doubled bytes undone", 3, false, DleTcp(0x10, 'L', 22, kCargaIp),
         Hex("00 0C 10 02 10 4C 16 06 00 00 10 03 BA DC")},
        // Refused, with the reason behind the NAK.
        {"damaged frame", 3, false, danificado, Hex("00 0C 10 02 01 4C 16 15 00 01 10 03 2D A3")},
        {"step the model lacks", 3, false,
         DleTcp(1, 'L', 20, Bloco("TVX5150S", 8) + Hex("4D 41 43 3D 01 02 03 04 05 06")),
         Hex("00 0C 10 02 01 4C 14 15 00 02 10 03 5D 9C")},
        {"wrong length", 3, false, DleTcp(1, 'L', 22, Bloco("TVX5150S", 10)),
         Hex("00 0C 10 02 01 4C 16 15 00 03 10 03 AD 88")},
        {"wrong tag", 3, false, DleTcp(1, 'L', 22, Bloco("TVX3300S", 8) + kEnderecos),
         Hex("00 0C 10 02 01 4C 16 15 00 04 10 03 2D E7")},
        {"no address", 3, false, DleTcp(1, 'L', 22, Bloco("TVX5150S", 8) + Bloco("10.0.0.256", 60)),
         Hex("00 0C 10 02 01 4C 16 15 00 05 10 03 AD F0")},
        {"text after byte 5", 3, false, DleTcp(1, 'L', 31),
         Hex("00 6C 10 02 01") + TextoDe("TVX5150S", "03") + Hex("00 10 03 B7 3F")},
        {"plain text", 6, false, Simples('L', 31), TextoDe("TVX6400ST", "06") + Hex("00")},
        {"text block echo", 8, false, textos, textos},
        {"universal gateway record", 1, false, universal, universal + Hex("02 B4 6D 00 01 65")},
        {"universal gateway read", 27, false, Bloco("LER=", 60),
         Bloco(Hex("C0 A8 00 65 FF FF FF 00 00 00 00 00 00 00 00 00 00 00 03 FF"), 64) +
             Hex("02 B4 6D 00 1B 65")},
        {"gateway record with MAC", 21, false, Bloco(gateway, 70),
         gateway + Hex("02 B4 6D 00 15 65")},
        {"MAC block", 26, false, Bloco(Hex("4D 41 43 3D 02 00 00 AB CD EF"), 60),
         Hex("4D 41 43 3D 02 00 00 AB CD EF")},
        // Texts that are no addresses change nothing: the echo shows what is kept.
        {"text block without addresses", 8, false, Bloco("10.0.0.999", 60),
         Bloco("192.168.0.101", 20) + Bloco("255.255.255.0", 20) + Bloco("0.0.0.0", 20)},
        {"block the model does not take", 19, false, textos, Bytes{}},
        {"measurements", 30, false, Modbus(1024, 14),
         Hex("00 00 00 00 00 1F 01 03 1C 00 00 40 84 00 00 3F E0 80 00 42 FE 00 00 3F 00 40 00 42 "
             "FA 00 00 41 FC 00 00 41 EE")},
        {"programming registers", 30, false, Modbus(1280, 4),
         Hex("00 00 00 00 00 0B 01 03 08 FF FF 00 03 C0 A8 00 65")},
        {"register write", 30, false, ModbusEscrita(1282, {0x0A, 0x01}),
         Hex("00 00 00 00 00 06 01 10 05 02 00 01")},
        {"write to a read-only block", 30, false, ModbusEscrita(1024, {0, 1}),
         Hex("00 00 00 00 00 03 01 90 02")},
        {"register outside the map", 30, false, Modbus(1030, 10),
         Hex("00 00 00 00 00 03 01 83 02")},
        {"count of zero", 30, false, Modbus(1024, 0), Hex("00 00 00 00 00 03 01 83 03")},
        {"unknown function", 30, false, Hex("00 07 00 00 00 06 01 04 04 00 00 01"),
         Hex("00 07 00 00 00 03 01 84 01")},
        // Over the serial line the same frames go without the length in front
        // (the short form: the last test below).
        {"noise before a frame", 3, true, Hex("FF 00 13 10 7E") + Dle(1, 'L', 31),
         Hex("10 02 01") + TextoDe("TVX5150S", "03") + Hex("00 10 03 B7 3F")},
        {"clock", 25, true, Dle(0, 'P', 1, {5, 3, 31, 14, 7, 9}),
         Hex("10 02 00 50 01 06 00 00 10 03 4F 6E")},
        {"reconnection time", 25, true, Dle(0, 'L', 28, Bloco("TVX3300W", 8) + Bytes{15}),
         Hex("10 02 00 06 4C 1C 10 03 10 21")},
        {"clock out of range", 25, true, Dle(0, 'P', 1, {32, 3, 31, 14, 7, 9}),
         Hex("10 02 00 50 01 15 00 05 10 03 C8 21")},
        {"reconnection time out of range", 25, true,
         Dle(0, 'L', 28, Bloco("TVX3300W", 8) + Bytes{241}), Hex("10 02 00 15 4C 1C 10 03 97 2A")},
        // A request damaged on the line is not answered.
        {"damaged Modbus RTU", 30, true, danificadoRtu, Bytes{}},
        {"Modbus RTU", 30, true, Modbus(1280, 4, false),
         Hex("01 03 08 FF FF 00 03 C0 A8 00 65 EC 17")},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const Resposta& r : respostas) {
            SCOPED_TRACE(r.nome);
            sim::Simulador sim(r.modelo);
            ASSERT_TRUE(r.serial ? !sim.IniciarSerial().empty() : sim.IniciarTcp("127.0.0.1"));
            EXPECT_EQ(ParaHex(r.esperada), ParaHex(Ponta(sim, r.serial)
                                                       .Trocar(r.pedido, r.esperada.size(),
                                                               r.esperada.empty() ? 1000 : 3000)));
        }
    });
}

// What the telemetry unit's steps store comes back in its configuration text.
TEST(SimRespostas, PassosGuardadosVoltamNoTexto) {
    Bytes campos(866, 0);
    for (size_t i : {0u, 27u, 54u}) {
        campos[i] = i == 0 ? 1 : i == 27 ? 3 : 4;
        campos[i + 1] = 0x20;
        campos[i + 2] = 1;
        campos[i + 6] = 1;
        campos[i + 12] = 0x10;  // ION RTU 16: doubled on the wire
        campos[i + 13] = 0x22;
    }
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        sim::Simulador sim(25);
        ASSERT_FALSE(sim.IniciarSerial().empty());
        Ponta linha(sim, true);
        for (const Bytes& passo :
             {Dle(0, 'P', 1, {5, 3, 31, 14, 7, 9}), Dle(0, 'P', 5), Dle(0, 'P', 4, campos),
              Dle(0, 'L', 28, Bloco("TVX3300W", 8) + Bytes{15})}) {
            linha.Trocar(passo, 1);
        }
        const Bytes texto = linha.Trocar(Dle(0, 'L', 31));
        // Each request and its reply in the simulator's log of exchanges.
        EXPECT_TRUE(sim.AguardarPedidos(5, 1s));
        EXPECT_EQ(sim.Trocas().size(), 10u);
        EXPECT_NE(std::string(texto.begin(), texto.end())
                      .find("Reconex\xE3o: 15 min\r\nRel\xF3gio: 05/03/31 14:07:09\r\n"
                            "Mem\xF3ria de massa: zerada\r\nCampos de mem\xF3ria: ION\r\n"),
                  std::string::npos);
    });
}

// Garbage, a frame cut short, a header that announces more than comes and a
// lone DLE never stop the device: the next request is answered. Over TCP for
// each kind of request, and over the serial line.
TEST(SimRespostas, EntradaQualquerNaoParaOEquipamento) {
    std::mt19937 gerador(1234);
    Bytes lixo(1 << 16);
    for (auto& b : lixo) {
        b = static_cast<uint8_t>(gerador());
    }
    const Bytes ip = DleTcp(1, 'L', 22, kCargaIp);
    const std::vector<Bytes> partes{lixo, Bytes(ip.begin(), ip.begin() + 20),
                                    Hex("00 00 03 00 00 00 00 05 01 FF 04 FF 10 02 01"),
                                    Hex("00 00 03 00 00 00 00 05 01 FF 00 00"), Hex("10")};
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const auto& [modelo, pedido] :
             {std::pair{2u, ip}, std::pair{8u, kEnderecos}, std::pair{30u, Modbus(1280, 4)}}) {
            sim::Simulador sim(modelo);
            ASSERT_TRUE(sim.IniciarTcp("127.0.0.1"));
            for (const Bytes& parte : partes) {
                Ponta(sim, false).Trocar(parte, 0, 100);
            }
            EXPECT_FALSE(Ponta(sim, false).Trocar(pedido, 1).empty()) << modelo;
        }
        sim::Simulador sim(2);
        ASSERT_FALSE(sim.IniciarSerial().empty());
        Ponta linha(sim, true);
        for (const Bytes& parte : partes) {
            linha.Trocar(parte, 0, 300);  // the line quiet long enough to end a frame
        }
        EXPECT_EQ(ParaHex(linha.Trocar(Dle(1, 'L', 22, kCargaIp))),
                  "10 02 01 06 4C 16 10 03 E8 AA");
    });
}

}  // namespace
}  // namespace tvx::teste
