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

#include <cstring>
#include <random>
#include <thread>

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
Bytes Texto(const std::string& texto) {
    return Bytes(texto.begin(), texto.end());
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
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(sim.PortaTcp());
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(0, connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa));
    }
    ~Ponta() { close(fd_); }
    Ponta(const Ponta&) = delete;
    Ponta& operator=(const Ponta&) = delete;

    void Enviar(const Bytes& bytes) {
        for (size_t feito = 0; feito < bytes.size();) {
            const ssize_t n = write(fd_, bytes.data() + feito, bytes.size() - feito);
            ASSERT_GT(n, 0);
            feito += static_cast<size_t>(n);
        }
    }
    // Reads until nothing more comes for 300 ms (the first byte: 1 s); once
    // minimo bytes came, 50 ms of quiet end the reply.
    Bytes Receber(size_t minimo = 0) {
        Bytes lido;
        uint8_t buffer[8192];
        pollfd p{fd_, POLLIN, 0};
        while (poll(&p, 1, minimo && lido.size() >= minimo ? 50 : lido.empty() ? 1000 : 300) > 0) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            lido.insert(lido.end(), buffer, buffer + n);
        }
        return lido;
    }
    Bytes Trocar(const Bytes& pedido, size_t minimo = 0) {
        Enviar(pedido);
        return Receber(minimo);
    }

  private:
    int fd_ = -1;
};

Bytes Dle(uint8_t rtu, uint8_t comando, uint8_t sub, const Bytes& dados = {}) {
    Bytes quadro(4096);
    quadro.resize(static_cast<size_t>(MontarQuadroDle(
        quadro.data(), 4096, rtu, comando, sub, static_cast<int32_t>(dados.size()), dados.data())));
    return quadro;
}
Bytes DleTcp(uint8_t rtu, uint8_t comando, uint8_t sub, const Bytes& dados = {}) {
    const Bytes dle = Dle(rtu, comando, sub, dados);
    Bytes quadro(4096);
    quadro.resize(static_cast<size_t>(
        EncapsularTcp(quadro.data(), 4096, dle.data(), static_cast<int32_t>(dle.size()), rtu, 0)));
    return quadro;
}
Bytes Simples(uint8_t comando, uint8_t sub, const Bytes& dados = {}) {
    Bytes quadro(4096);
    quadro.resize(static_cast<size_t>(MontarQuadroSimples(
        quadro.data(), 4096, comando, sub, static_cast<int32_t>(dados.size()), dados.data())));
    return quadro;
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
// Tag, then texts in 20-byte slots.
Bytes CargaIp(const std::string& ip, const char* tag = "TVX5150S") {
    Bytes carga = Texto(std::string(tag, 8) + ip);
    carga.resize(28);
    carga = carga + Texto("255.255.0.0");
    carga.resize(48);
    carga = carga + Texto("10.0.0.1");
    carga.resize(68);
    return carga;
}
Bytes ComTag(const char* tag, const Bytes& resto) {
    return Texto(std::string(tag, 8)) + resto;
}
// Unframed blocks, zero-padded.
Bytes Bloco(Bytes inicio, size_t tamanho) {
    inicio.resize(tamanho);
    return inicio;
}

struct Resposta {
    const char* nome;
    uint32_t modelo;
    bool serial;
    Bytes pedido;
    Bytes esperada;
};

// The configuration text of a model fresh from the factory.
Bytes TextoDe(const std::string& nome, const std::string& mac) {
    return Texto(
        nome +
        "\r\nIP: 192.168.0.101\r\nMask: 255.255.255.0\r\nGateway: 0.0.0.0\r\nMAC: 02:B4:6D:00:" +
        mac + ":65\r\nRTU: 1\r\n");
}

TEST(SimRespostas, CadaFormaDeResposta) {
    Bytes danificado = DleTcp(1, 'L', 22, CargaIp("10.0.0.5"));
    danificado.back() ^= 0xFF;
    Bytes registroTx = Bloco(Hex("AC 10 00 09 FF FF FF 00 AC 10 00 01"), 70);
    registroTx[32] = 2;
    const Bytes carga = CargaIp("10.0.0.5");
    const Bytes textos(carga.begin() + 8, carga.end());
    const Bytes gu = Bloco(Hex("0A 01 02 03 FF FF 00 00 0A 01 00 01 0A 01 00 32 03 04 06 21"), 64);
    const Resposta respostas[] = {
        {"long form, ACK at 7", 3, false, DleTcp(1, 'L', 22, CargaIp("10.0.0.5")),
         Hex("00 0C 10 02 01 4C 16 06 00 00 10 03 2A BF")},
        {"short form, ACK at 5", 2, false, DleTcp(1, 'L', 22, CargaIp("10.0.0.5")),
         Hex("00 0A 10 02 01 06 4C 16 10 03 E8 AA")},
        {"plain frame, ACK first", 18, false, Simples('L', 22, CargaIp("10.0.0.5")),
         Hex("06 4C 16")},
        {"doubled bytes undone", 3, false, DleTcp(0x10, 'L', 22, CargaIp("10.16.0.5")),
         Hex("00 0C 10 02 10 4C 16 06 00 00 10 03 BA DC")},
        {"damaged frame refused", 3, false, danificado,
         Hex("00 0C 10 02 01 4C 16 15 00 01 10 03 2D A3")},
        {"model lacks the step", 3, false,
         DleTcp(1, 'L', 20, ComTag("TVX5150S", Hex("4D 41 43 3D 01 02 03 04 05 06"))),
         Hex("00 0C 10 02 01 4C 14 15 00 02 10 03 5D 9C")},
        {"text after byte 5", 3, false, DleTcp(1, 'L', 31),
         Hex("00 6C 10 02 01") + TextoDe("TVX5150S", "03") + Hex("00 10 03 B7 3F")},
        {"plain text", 6, false, Simples('L', 31), TextoDe("TVX6400ST", "06") + Hex("00")},
        {"text block echo", 8, false, textos, textos},
        {"universal gateway record", 1, false, gu, gu + Hex("02 B4 6D 00 01 65")},
        {"universal gateway read", 27, false, Bloco(Texto("LER="), 60),
         Bloco(Hex("C0 A8 00 65 FF FF FF 00 00 00 00 00 00 00 00 00 00 00 03 FF"), 64) +
             Hex("02 B4 6D 00 1B 65")},
        {"gateway record with MAC", 21, false, registroTx,
         Bytes(registroTx.begin(), registroTx.begin() + 64) + Hex("02 B4 6D 00 15 65")},
        {"MAC block", 26, false, Bloco(Hex("4D 41 43 3D 02 00 00 AB CD EF"), 60),
         Hex("4D 41 43 3D 02 00 00 AB CD EF")},
        {"block of another model", 19, false, textos, Bytes{}},
        {"measurements", 30, false, Modbus(1024, 14),
         Hex("00 00 00 00 00 1F 01 03 1C 00 00 40 84 00 00 3F E0 80 00 42 FE 00 00 3F 00 40 00 42 "
             "FA 00 00 41 FC 00 00 41 EE")},
        {"programming registers", 30, false, Modbus(1280, 4),
         Hex("00 00 00 00 00 0B 01 03 08 FF FF 00 03 C0 A8 00 65")},
        {"register write", 30, false, ModbusEscrita(1282, {0x0A, 0x01}),
         Hex("00 00 00 00 00 06 01 10 05 02 00 01")},
        {"register outside the map", 30, false, Modbus(1030, 10),
         Hex("00 00 00 00 00 03 01 83 02")},
        {"count of zero", 30, false, Modbus(1024, 0), Hex("00 00 00 00 00 03 01 83 03")},
        {"write to a read-only block", 30, false, ModbusEscrita(1024, {0, 1}),
         Hex("00 00 00 00 00 03 01 90 02")},
        {"unknown function", 30, false, Hex("00 07 00 00 00 06 01 04 04 00 00 01"),
         Hex("00 07 00 00 00 03 01 84 01")},
        {"serial long form, ACK at 5", 3, true, Dle(1, 'L', 22, CargaIp("10.0.0.5")),
         Hex("10 02 01 4C 16 06 00 00 10 03 2A BF")},
        {"serial short form, ACK at 3", 2, true, Dle(1, 'L', 22, CargaIp("10.0.0.5")),
         Hex("10 02 01 06 4C 16 10 03 E8 AA")},
        {"serial text after byte 3", 2, true, Dle(1, 'L', 31),
         Hex("10 02 01") + TextoDe("TVX3300E", "02") + Hex("00 10 03 7A 66")},
        {"noise before a frame", 3, true, Hex("FF 00 13 10 7E") + Dle(1, 'L', 31),
         Hex("10 02 01") + TextoDe("TVX5150S", "03") + Hex("00 10 03 B7 3F")},
        {"clock", 25, true, Dle(0, 'P', 1, {5, 3, 31, 14, 7, 9}),
         Hex("10 02 00 50 01 06 00 00 10 03 4F 6E")},
        {"clock out of range", 25, true, Dle(0, 'P', 1, {32, 3, 31, 14, 7, 9}),
         Hex("10 02 00 50 01 15 00 05 10 03 C8 21")},
        {"reconnection time", 25, true, Dle(0, 'L', 28, ComTag("TVX3300W", {15})),
         Hex("10 02 00 06 4C 1C 10 03 10 21")},
        {"reconnection time out of range", 25, true, Dle(0, 'L', 28, ComTag("TVX3300W", {241})),
         Hex("10 02 00 15 4C 1C 10 03 97 2A")},
        {"Modbus RTU", 30, true, Modbus(1280, 4, false),
         Hex("01 03 08 FF FF 00 03 C0 A8 00 65 EC 17")},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const Resposta& r : respostas) {
            SCOPED_TRACE(r.nome);
            sim::Simulador sim(r.modelo);
            ASSERT_TRUE(r.serial ? !sim.IniciarSerial().empty() : sim.IniciarTcp("127.0.0.1"));
            Ponta ponta(sim, r.serial);
            const Bytes resposta = ponta.Trocar(r.pedido, r.esperada.size());
            EXPECT_EQ(ParaHex(r.esperada), ParaHex(resposta));
        }
    });
}

// What the steps store comes back in the configuration text.
TEST(SimRespostas, PassosGuardadosVoltamNoTexto) {
    Bytes id(41, 0);
    id[0] = 3;
    std::memcpy(id.data() + 1, "ID-123", 6);
    Bytes campos(866, 0);
    for (size_t i : {0u, 27u, 54u}) {
        campos[i] = i == 0 ? 1 : i == 27 ? 3 : 4;
        campos[i + 1] = 0x20;
        campos[i + 2] = 1;
        campos[i + 6] = 1;
        campos[i + 12] = 0x10;  // ION RTU 16: doubled on the wire
        campos[i + 13] = 0x22;
    }
    const struct {
        uint32_t modelo;
        bool serial;
        std::vector<Bytes> passos;
        std::string trecho;
    } sequencias[] = {
        {23,
         false,
         {DleTcp(1, 'L', 2, ComTag("TVX3000A", {7, 9})), DleTcp(1, 'L', 25, ComTag("TVX3300S", id)),
          DleTcp(1, 'L', 26, ComTag("TVX3300S", Bloco(Texto("telemetria.example:4000"), 81))),
          DleTcp(1, 'L', 20, ComTag("TVX5150S", Hex("4D 41 43 3D 00 1A 2B 3C 4D 5E"))),
          DleTcp(7, 'L', 31)},
         "MAC: 00:1A:2B:3C:4D:5E\r\nRTU: 7\r\nVelocidade: 38400\r\nOperadora: 3\r\n"
         "ID: ID-123\r\nURL: telemetria.example:4000\r\n"},
        {25,
         true,
         {Dle(0, 'P', 1, {5, 3, 31, 14, 7, 9}), Dle(0, 'P', 5), Dle(0, 'P', 4, campos),
          Dle(0, 'L', 28, ComTag("TVX3300W", {15})), Dle(0, 'L', 31)},
         "Reconex\xE3o: 15 min\r\nRel\xF3gio: 05/03/31 14:07:09\r\n"
         "Mem\xF3ria de massa: zerada\r\nCampos de mem\xF3ria: ION\r\n"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const auto& s : sequencias) {
            sim::Simulador sim(s.modelo);
            ASSERT_TRUE(s.serial ? !sim.IniciarSerial().empty() : sim.IniciarTcp("127.0.0.1"));
            Ponta ponta(sim, s.serial);
            Bytes texto;
            for (const Bytes& pedido : s.passos) {
                texto = ponta.Trocar(pedido, 1);
            }
            EXPECT_NE(std::string(texto.begin(), texto.end()).find(s.trecho), std::string::npos)
                << std::string(texto.begin(), texto.end());
        }
    });
}

// Garbage, cut frames, a header that announces more than comes and a lone
// DLE never stop the device: the next request is answered.
TEST(SimRespostas, EntradaQualquerNaoParaOEquipamento) {
    std::mt19937 gerador(1234);
    Bytes lixo(1 << 16);
    for (auto& b : lixo) {
        b = static_cast<uint8_t>(gerador());
    }
    const Bytes ip = DleTcp(1, 'L', 22, CargaIp("10.0.0.5"));
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        sim::Simulador sim(2);
        ASSERT_TRUE(sim.IniciarTcp("127.0.0.1"));
        Ponta(sim, false).Enviar(lixo);
        Ponta ponta(sim, false);
        for (const Bytes& parte :
             {Bytes(ip.begin(), ip.begin() + 20),
              Hex("00 00 03 00 00 00 00 05 01 FF 04 FF 10 02 01"), Hex("10")}) {
            ponta.Enviar(parte);
            std::this_thread::sleep_for(300ms);
        }
        EXPECT_EQ(ParaHex(ponta.Trocar(ip)), "00 0A 10 02 01 06 4C 16 10 03 E8 AA");

        sim::Simulador linha(2);
        ASSERT_FALSE(linha.IniciarSerial().empty());
        Ponta serial(linha, true);
        serial.Trocar(lixo);
        EXPECT_EQ(ParaHex(serial.Trocar(Bytes(ip.begin() + 12, ip.end()))),
                  "10 02 01 06 4C 16 10 03 E8 AA");
    });
}

}  // namespace
}  // namespace tvx::teste
