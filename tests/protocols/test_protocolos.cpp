// The protocol routines byte for byte, against a scripted loopback peer or a
// real pseudo-terminal: the exchanges no whole run sends, the records and
// read-back fields the device never shows, and the texts a run cannot reach.
// What a failing device does to a whole run is the fault matrix's.
#include <gtest/gtest.h>

#include <unistd.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <string_view>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "protocols/registros_medicao.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;
using namespace teste;
using Bytes = std::vector<uint8_t>;

Bytes Texto(std::string_view texto) {
    return Bytes(texto.begin(), texto.end());
}

// A text in a zero-filled slot of the given size (the text cut to it).
Bytes Slot(std::string_view texto, size_t tamanho) {
    Bytes slot = Texto(texto.substr(0, std::min(texto.size(), tamanho)));
    slot.resize(tamanho, 0);
    return slot;
}

Bytes Juntar(std::initializer_list<Bytes> partes) {
    Bytes tudo;
    for (const auto& p : partes) {
        tudo.insert(tudo.end(), p.begin(), p.end());
    }
    return tudo;
}

// An acknowledgement (or a refusal, 0x15) with its byte where the frame kind
// and the medium put it.
Bytes Ack(uint8_t tipoQuadro, bool tcp, bool aceito = true) {
    Bytes r = tcp ? Bytes(12, 0)
                  : Hex(tipoQuadro == kQuadroDle ? "10 02 01 4C 00 00 00 00 10 03 00 00"
                                                 : "10 02 01 00 10 03 00 00 00 00");
    const int posicao = !tcp                            ? (tipoQuadro == kQuadroDle ? 5 : 3)
                        : tipoQuadro == kQuadroSimples  ? 0
                        : tipoQuadro == kQuadroDleCurto ? 5
                                                        : 7;
    r[posicao] = aceito ? 0x06 : 0x15;
    return r;
}

// An equipment object of one catalogue model whose progress lines go to a queue.
struct Bancada {
    explicit Bancada(uint32_t modelo) {
        e.SetModelo(modelo);
        e.CarregaInfoModelo();
        e.SetMeio(kMeioEsteIp);
        e.SetRtu(1);
        e.SetIpNovo("10.0.0.5");
        e.SetMascaraNova("255.255.255.0");
        e.SetGatewayNovo("10.0.0.1");
        e.janelaProgresso = &fila;
        e.mensagemProgresso = MensagemIncluirProcesso();
    }
    ~Bancada() { e.Desconecta(); }
    void Marcar(std::initializer_list<uint8_t> ids) {
        for (auto& passo : e.infoModelo.passos) {
            passo.marcado |= std::find(ids.begin(), ids.end(), passo.id) != ids.end();
        }
    }
    FilaProgresso fila;
    cEquipamento e;
};

enum class Rotina { ProgramarIp, Ler, Passos, Reset };
enum class Meio { Tcp, Serial, Nenhum };

// One exchange: the request the device receives (hex; a final "*" leaves the
// rest of it unchecked) and its reply (empty: silence).
struct Troca {
    std::string pedido;
    Bytes resposta;
};

struct Caso {
    const char* nome;
    uint32_t modelo;
    Meio meio;
    std::vector<Troca> trocas;
    bool ok;
    // ProgramarIp and Ler: the result text, which starts as "antes". Passos:
    // the progress lines, each followed by '|', then "reconectar" when asked.
    std::string resultado;
    std::string lidos = "";  // address, mask and gateway read back; "" when not checked
    std::function<void(Bancada&)> preparar = {};  // once the link is up
    std::function<void(Bancada&)> conferir = {};
};

bool Chamar(Rotina rotina, Bancada& b, std::string& resultado) {
    bool reconectar = false;
    switch (rotina) {
        case Rotina::ProgramarIp:
            return b.e.ProgramarIp(resultado);
        case Rotina::Ler:
            return b.e.LerConfiguracao(resultado);
        case Rotina::Reset:
            return b.e.EnviaReset();
        case Rotina::Passos:
            break;
    }
    const bool ok = b.e.ProgramacaoEstendida(reconectar);
    resultado.clear();
    for (const std::string& linha : b.fila.Textos()) {
        resultado += linha + "|";
    }
    resultado += reconectar ? "reconectar" : "";
    return ok;
}

// Each case on a link of its own. Serial replies end at the first gap of one
// read time-out, half a second here; a TCP reply that never comes fails
// after one second.
void Rodar(Rotina rotina, const std::vector<Caso>& casos) {
    for (size_t i = 0; i < casos.size(); ++i) {
        const Caso& c = casos[i];
        SCOPED_TRACE(c.nome);
        Bancada b(c.modelo);
        const auto preparar = [&] { c.preparar ? c.preparar(b) : void(); };
        std::string pedidos, resultado = "antes";
        for (const Troca& t : c.trocas) {
            pedidos += (pedidos.empty() ? "" : " ") + t.pedido;
        }
        bool ok = false;
        if (c.meio == Meio::Tcp) {
            const std::string ip =
                "127.6." + std::to_string(int(rotina)) + "." + std::to_string(i + 1);
            ParTcp par(ip, static_cast<uint16_t>(b.e.PortaTcp()));
            for (const Troca& t : c.trocas) {
                t.resposta.empty() ? par.Calar() : par.Responder(t.resposta);
            }
            b.e.SetIpProgramacao(ip);
            ASSERT_TRUE(b.e.Conecta(false));
            b.e.canal.DefinirTempoEspera(1);
            preparar();
            ok = Chamar(rotina, b, resultado);
            const bool prefixo = !pedidos.empty() && pedidos.back() == '*';
            pedidos.resize(pedidos.size() - (prefixo ? 2 : 0));
            const std::string recebido = ParaHex(par.Recebido(Hex(pedidos).size() + 1, 100ms));
            EXPECT_EQ(pedidos, prefixo ? recebido.substr(0, pedidos.size()) : recebido);
        } else if (c.meio == Meio::Serial) {
            PtyTeste pty;
            b.e.SetMeio(kMeioSerial);
            b.e.PadraoSerial();
            b.e.SetPorta(pty.CaminhoEscravo());
            ASSERT_TRUE(b.e.Conecta(false));
            b.e.canal.DefinirTempoEsperaMs(500);
            preparar();
            auto rodando =
                std::async(std::launch::async, [&] { return Chamar(rotina, b, resultado); });
            for (const Troca& t : c.trocas) {
                EXPECT_EQ(t.pedido, ParaHex(pty.Ler(Hex(t.pedido).size(), 5s)));
                pty.Escrever(t.resposta);
            }
            ok = rodando.get();
            EXPECT_TRUE(pty.Ler(1, 100ms).empty());
        } else {
            preparar();
            ok = Chamar(rotina, b, resultado);
        }
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.resultado, resultado);
        if (!c.lidos.empty()) {
            EXPECT_EQ(c.lidos,
                      b.e.GetIpLido() + " " + b.e.GetMascaraLida() + " " + b.e.GetGatewayLido());
        }
        if (c.conferir) {
            c.conferir(b);
        }
    }
}

// A 70-byte echo with its first bytes and a MAC at 64.
Bytes Eco(const std::string& inicio, const std::string& mac) {
    Bytes eco = Hex(inicio);
    eco.resize(64);
    return Juntar({eco, Hex(mac)});
}

const Bytes kComando = Juntar(
    {Texto("TVX5150S"), Slot("10.0.0.5", 20), Slot("255.255.255.0", 20), Slot("10.0.0.1", 20)});

TEST(ProgramarIp, RegistrosEQuadrosQueNenhumaExecucaoMostra) {
    // clang-format off
    const std::vector<Caso> casos = {
        // Family 1: a text that fills its slot goes without a terminator; so may the echo.
        {"texto longo", 8, Meio::Tcp,
         {{ParaHex(Juntar({Texto("12345678901234567890"), Slot("255.255.255.0", 20),
                           Slot("10.0.0.1", 20)})),
           Juntar({Texto("ABCDEFGHIJKLMNOPQRST"), Slot("255.255.255.0", 20), Slot("10.0.0.1", 20)})}},
         true, "antes", "ABCDEFGHIJKLMNOPQRST 255.255.255.0 10.0.0.1",
         [](Bancada& b) { b.e.SetIpNovo("1234567890123456789012345"); }},
        // Control bytes of an echo reach page, terminal and log only as "\xNN".
        {"eco com controles", 8, Meio::Tcp,
         {{ParaHex(Juntar({Slot("10.0.0.5", 20), Slot("255.255.255.0", 20), Slot("10.0.0.1", 20)})),
           Juntar({Slot("\ntouch PWNED #", 20), Slot("\x1B]0;x\x07\x1B[2J", 20),
                   Slot("10.0.0.1\r\x9B", 20)})}},
         true, "antes", "\\x0Atouch PWNED # \\x1B]0;x\\x07\\x1B[2J 10.0.0.1\\x0D\\x9B"},
        // Family 9: the universal gateway record, 64 bytes out, 70 back.
        {"gateway universal", 1, Meio::Tcp,
         {{"0A 01 02 03 FF FF FF 00 0A 01 02 01 0A 00 00 C8 03 04 06 AA " + ParaHex(Bytes(44, 0)),
           Eco("0A 01 02 03 FF FF FF 00 0A 01 02 01", "00 00 00 00 00 00")}},
         true, "antes", "010.001.002.003 255.255.255.000 010.001.002.001",
         [](Bancada& b) {
             b.e.SetIpNovo("10.1.2.3");
             b.e.SetGatewayNovo("10.1.2.1");
             const Bytes antes = Hex("EE 00 00 00 00 00 00 00 00 00 00 00 0A 00 00 C8 03 04 06 AA");
             std::copy(antes.begin(), antes.end(), b.e.registroGatewayUniversal.begin());
             b.e.registroGatewayUniversal[69] = 0x77;  // beyond the 64 bytes sent
         },
         [](Bancada& b) {
             EXPECT_EQ("0A 01 02 03 FF FF FF 00 0A 01 02 01",
                       ParaHex(b.e.registroGatewayUniversal.data(), 12));
         }},
        // Family 15: the Modbus gateway table, start registers turned in the
        // copy only; the echo's MAC is shown.
        {"gateway modbus", 19, Meio::Tcp,
         {{ParaHex(Juntar({Hex("C0 A8 01 32 FF FF 00 00 C0 A8 01 01"), Bytes(20, 0),
                           Hex("09 00 00 00 00 03 00 00 00 00 12 34 00 00 00 00 00 00 00 01 7D "
                               "00 00 00 00 00 00 06"), Bytes(10, 0)})),
           Eco("C0 A8 01 32 FF FF 00 00 C0 A8 01 01", "00 1A 2B 3C 4D 5E")}},
         true, "antesMAC=00:1A:2B:3C:4D:5E\r\n", "192.168.001.050 255.255.000.000 192.168.001.001",
         [](Bancada& b) {
             b.e.SetIpNovo("192.168.1.50");
             b.e.SetMascaraNova("255.255.0.0");
             b.e.SetGatewayNovo("192.168.1.1");
             auto& r = b.e.registroGatewayModbus;
             r[42] = 0x34, r[43] = 0x12;  // meter 1 starts at 0x1234, low byte first
             r[50] = 0x01;                // meter 5 at 0x0001
             r[32] = 9, r[37] = 3, r[52] = 125, r[59] = 6;
         },
         [](Bancada& b) {
             EXPECT_EQ("34 12 00 00 00 00 00 00 01 00",
                       ParaHex(b.e.registroGatewayModbus.data() + 42, 10));
             EXPECT_EQ(0, b.e.registroGatewayModbus[0]);  // the stored record keeps no address
         }},
        // Family 6: the TX gateway record with its RTU range.
        {"gateway tx", 21, Meio::Tcp,
         {{ParaHex(Juntar({Hex("0A 00 00 09 FF 00 00 00 0A 00 00 01 0A 00 00 28"), Bytes(16, 0),
                           Hex("02"), Bytes(37, 0)})),
           Eco("0A 00 00 09 FF 00 00 00 0A 00 00 01", "AA BB CC 01 02 03")}},
         true, "antesMAC=AA:BB:CC:01:02:03\r\n", "010.000.000.009 255.000.000.000 010.000.000.001",
         [](Bancada& b) {
             b.e.SetIpNovo("10.0.0.9");
             b.e.SetMascaraNova("255.0.0.0");
             auto& r = b.e.registroGatewayTx;
             r[12] = 10, r[15] = 40, r[32] = 2;  // "RTU11 à RTU15"
         }},
        // Family 10: model 24 addresses 0xFE; the RTU chosen goes on the serial line.
        {"kind 6 rtu FE", 24, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 FE FF 00 4D 10 02 FE 4C 16 " + ParaHex(kComando) +
               " 10 03 C7 22", Ack(kQuadroDleCurto, true)}}, true, "Programação de IP OK."},
        {"serial kind 6 rtu 7", 22, Meio::Serial,
         {{"10 02 07 4C 16 " + ParaHex(kComando) + " 10 03 F6 23", Ack(kQuadroDleCurto, false)}},
         true, "Programação de IP OK.", "", [](Bancada& b) { b.e.SetRtu(7); }},
        {"serial fechada", 3, Meio::Nenhum, {}, false, "Programação de IP falhou.", "",
         [](Bancada& b) { b.e.SetMeio(kMeioSerial); }},
        {"registros sem alterar ip", 30, Meio::Tcp, {}, true, "IP não alterado"},
        // Families without IP programming leave the result alone.
        {"nenhum", 0, Meio::Nenhum, {}, false, "antes"},
    };
    // clang-format on
    Rodar(Rotina::ProgramarIp, casos);
}

const std::string kLer = ParaHex(Juntar({Texto("LER="), Bytes(56, 0)}));

Bytes RegistroGateway(uint8_t funcao, uint8_t velocidade) {
    Bytes r = Hex("C0 A8 00 05 FF FF FF 00 C0 A8 00 01 0A 00 00 C8 03 04");
    r.resize(70, 0);
    r[18] = velocidade;
    r[19] = funcao;
    r[40] = 'X';  // bytes 20 and beyond mean nothing to the reading
    return r;
}

// Latin-1 on the wire: 0x07 is a control byte, 0xE7 0xE3 are "çã".
constexpr std::string_view kTextoEquipamento =
    "TVX5150S\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\nNome:\x07Medi\xE7\xE3o\x1F\tA\r\n";
constexpr std::string_view kTextoLimpo =
    "TVX5150S\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\nNome: Medição \tA\r\n";
const char* const kPedidoTexto = "00 00 03 00 00 00 00 05 01 FF 00 09 10 02 01 4C 1F 10 03 A8 E0";
// Ten DLE bytes where a reply over TCP has its header, three over serial.
Bytes ComTexto(size_t antes, std::string_view texto) {
    return Juntar({Bytes(antes, 0x10), Texto(texto)});
}

TEST(LerConfiguracao, RegistroDoGatewayETextoDoEquipamento) {
    const std::string gateway = "192.168.000.005 255.255.255.000 192.168.000.001";
    const std::string modbus = "Função: Gateway Modbus\r\nVelocidade:";
    // clang-format off
    Rodar(Rotina::Ler, {
        // Family 9: the record read with "LER=".
        {"gateway modbus", 1, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 6)}}, true, modbus + "115200", gateway},
        {"velocidade 1200", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 0)}}, true, modbus + "1200"},
        {"velocidade 153600", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 7)}}, true, modbus + "153600"},
        {"velocidade desconhecida", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 200)}}, true, modbus + "?"},
        {"tx ion", 1, Meio::Tcp, {{kLer, RegistroGateway(0x21, 6)}}, true,
         "Função: Gateway TX ION\r\nIP:010.000.000.200\r\nRTU Ion 1:3\r\nRTU Ion 2:4", gateway},
        {"tx 940", 1, Meio::Tcp, {{kLer, RegistroGateway(0x55, 6)}}, true,
         "Função: Gateway TX 940\r\nIP:010.000.000.200\r\nTVX940:3"},
        {"rx", 1, Meio::Tcp, {{kLer, RegistroGateway(0x33, 6)}}, true, "Função: Gateway RX"},
        {"funcao desconhecida", 1, Meio::Tcp, {{kLer, RegistroGateway(0x56, 6)}}, true, "", gateway},
        // Tagged meters and RTUs: 'L' 31 answered with text, cleaned of controls.
        {"texto tcp", 3, Meio::Tcp, {{kPedidoTexto, ComTexto(5, kTextoEquipamento)}}, true,
         std::string(kTextoLimpo), "10.0.0.5 255.255.255.0 anterior",
         [](Bancada& b) { b.e.SetGatewayLido("anterior"); }},
        // Bytes 1 to 31 but tab, LF and CR are spaces already; the rest, and a
        // break inside a value, are shown as "\xNN"; the device's CR LF stays.
        {"texto com controles", 3, Meio::Tcp,
         {{kPedidoTexto, ComTexto(5, "IP: 1.2\n3\r\nMask:\x1B[2J\r\nNome:\tA\x7F\x9B\rB\xE7\r\n")}},
         true, "IP: 1.2\\x0A3\r\nMask: [2J\r\nNome:\tA\\x7F\\x9B\\x0DB\u00E7\r\n", "", {},
         [](Bancada& b) { EXPECT_EQ(b.e.GetIpLido(), "1.2\\x0A3"); }},
        // A reply that fills the 280-byte buffer loses its last byte; the next
        // shorter one shows nothing of it.
        {"texto longo e curto", 29, Meio::Tcp,
         {{kPedidoTexto, ComTexto(5, std::string(275, 'A') + "BCDEFGH")},
          {kPedidoTexto, ComTexto(5, "IP:1.2.3.4\r\n")}}, true, "IP:1.2.3.4\r\n", "1.2.3.4  ",
         [](Bancada& b) {
             std::string primeiro;
             EXPECT_TRUE(b.e.LerConfiguracao(primeiro));
             EXPECT_EQ(std::string(274, 'A'), primeiro);
         }},
        // Empty or unterminated values leave the fields; a blank one clears.
        {"texto valores vazios", 33, Meio::Tcp,
         {{kPedidoTexto, ComTexto(5, "IP:\r\nMask:   \r\nGateway:10.0.0.1")}}, true,
         "IP:\r\nMask:   \r\nGateway:10.0.0.1", "ip  gateway",
         [](Bancada& b) {
             b.e.SetIpLido("ip");
             b.e.SetMascaraLida("mascara");
             b.e.SetGatewayLido("gateway");
         }},
        {"texto serial rtu 2", 22, Meio::Serial,
         {{"10 02 02 4C 1F 10 03 A8 68", ComTexto(3, kTextoEquipamento)}}, true,
         std::string(kTextoLimpo), "10.0.0.5 255.255.255.0 ", [](Bancada& b) { b.e.SetRtu(2); }},
        // Models without reading: an empty result.
        {"familia 10 sem leitura", 18, Meio::Nenhum, {}, false, ""},
        {"familia 6", 21, Meio::Nenhum, {}, false, ""},
    });
    // clang-format on
}

// Whatever bit pattern a register pair holds is a float the text shows whole,
// with a point whatever the process locale: a Portuguese one writes "1,500".
TEST(LerConfiguracao, MedicoesComPontoQualquerQueSejaOLocal) {
    Bytes bytes;
    for (const uint32_t bits : {0x7F7FFFFFu, 0xFF800000u, 0x7FC00000u, 0x00000001u, 0x80000000u,
                                0x3FC00000u, 0x41C80000u}) {
        const Bytes par{static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits),
                        static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16)};
        bytes.insert(bytes.end(), par.begin(), par.end());
    }
    // A block counts only with every byte asked for, by length and by count.
    Bytes resposta = Juntar({{0, 0, 0, 0, 0, 31, 1, 3, 28}, bytes});
    EXPECT_TRUE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 36, 28));
    resposta[8] = 27;
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));

    const std::string pasta = "/tmp/tvx-locale-" + std::to_string(::getpid());
    auto virgula = [] {
        char teste[16];
        std::snprintf(teste, sizeof teste, "%.1f", 1.5);
        return std::string(teste) == "1,5";
    };
    if (!std::setlocale(LC_ALL, "pt_BR.UTF-8") || !virgula()) {
        // No such locale installed: compile one into a private directory.
        ::setenv("LOCPATH", pasta.c_str(), 1);
        const std::string comando = "mkdir -p " + pasta + " && localedef -i pt_BR -f UTF-8 " +
                                    pasta + "/pt_BR.UTF-8 >/dev/null 2>&1";
        if (std::system(comando.c_str()) == 0) {
            std::setlocale(LC_ALL, "pt_BR.UTF-8");
        }
    }
    const bool comVirgula = virgula();
    const std::string texto = protocolos::TextoMedicoes(bytes.data());
    std::setlocale(LC_ALL, "C");
    std::filesystem::remove_all(pasta);
    EXPECT_EQ(
        "\r\nMedição:\r\nIACS:340282346638528859811704183484516925440.000\r\nIDC:-inf\r\n"
        "VFN:nan\r\nVNT:0.000\r\nVDC:-0.000\r\nTEMP1:1.500\r\nTEMP2:25.000\r\n",
        texto);
    if (!comVirgula) {
        GTEST_SKIP() << "no locale with a decimal comma could be set";
    }
}

// The line each kind of step announces itself with.
std::string Anuncio(uint8_t id) {
    static const std::map<uint8_t, std::string> anuncios = {
        {2, "Enviando programação de MAC, ID Telemetria e Celular SMS..."},
        {11, "Enviando programação de MAC..."},
        {12, "Enviando programação de RTU e Velocidade..."},
        {13, "Enviando programação de ID e Operadora..."},
        {14, "Enviando programação de URL..."},
        {16, "Enviando programação de MAC..."},
        {17, "Enviando programação do tempo de reconexão..."},
        {18, "Enviando programação de relógio..."},
        {19, "Reset da Memória de Massa..."},
        {20, "Campos de Memória..."},
        {22, "Enviando programação de Entrada Digital..."},
        {23, "Enviando programação de Saída Digital..."},
    };
    return anuncios.at(id);
}

// The progress lines of a sequence that went through: each step's
// announcement and "OK.", then the request to reconnect.
std::string Passos(std::initializer_list<uint8_t> ids, const std::string& recebida = "") {
    std::string linhas;
    for (uint8_t id : ids) {
        linhas += Anuncio(id) + "|" + (recebida.empty() ? "" : recebida + "|") + "OK.|";
    }
    return linhas + "reconectar";
}

const char* const kMac = "00 1A 2B 3C 4D 5E";

Bytes CamposMemoria(const char* entrada) {
    Bytes campos(866, 0);
    for (int i = 0; i < 3; ++i) {
        const Bytes e = Hex(entrada);
        std::copy(e.begin(), e.end(), campos.begin() + 27 * i);
        campos[27 * i] = i == 0 ? 1 : i == 1 ? 3 : 4;
    }
    return campos;
}

TEST(ProgramacaoEstendida, CadaPassoNoFio) {
    const Bytes id = Slot("ABC123", 40);
    const Bytes id25 = Slot("ID-25", 40);
    const Bytes url = Slot("http://tvx.example/x", 81);
    const std::string recebida = "Programação recebida:\r\nMAC=00:1A:2B:3C:4D:5E\r\n";
    const auto mac = [](Bancada& b) {
        b.e.infoModelo.opcoes[kOpcaoMac].valor = "00:1A:2B:3C:4D:5E";
    };
    // clang-format off
    Rodar(Rotina::Passos, {
        // A step without a routine counts as done, after a second's pause.
        {"passo sem rotina", 3, Meio::Nenhum, {}, true, "OK.|reconectar", "",
         [](Bancada& b) { b.e.infoModelo.passos[0] = {kPassoTabelaModbus, 1}; }},
        // The text a step received is shown again by the step after it.
        {"texto do passo anterior", 26, Meio::Tcp,
         {{ParaHex(Juntar({Texto("MAC="), Hex(kMac), Bytes(50, 0)})), Juntar({Texto("MAC="), Hex(kMac)})}},
         true, Anuncio(16) + "|" + recebida + "|OK.|" + recebida + "|OK.|reconectar", "",
         [](Bancada& b) {
             b.e.infoModelo.opcoes[kOpcaoMac].valor = "00-1A-2B-3C-4D-5E";
             b.Marcar({kPassoMac});
             b.e.infoModelo.passos[1] = {kPassoTabelaModbus, 1};
         }},
        // Step 2: MAC, ID (17 of its characters) and SMS number; the echo
        // fills both text slots to the last byte.
        {"mac id sms", 16, Meio::Tcp,
         {{ParaHex(Juntar({Texto("MAC="), Hex(kMac), Bytes(10, 0), Texto("ID="),
                           Texto("TELEMETRIA-0001-X"), Texto("S="), Slot("5511987654321", 18)})),
           Juntar({Texto("MAC="), Hex("02 00 00 AA BB CC"), Bytes(10, 0), Texto("ID="),
                   Texto("ABCDEFGHIJKLMNOP\xE7"), Texto("S="), Texto("551199887766554433")})}},
         true, Passos({2}, "Programação recebida:\r\nMAC=02:00:00:AA:BB:CC\r\nID=ABCDEFGHIJKLMNOPç\r\n"
                           "Celular SMS=551199887766554433\r\n"), "",
         [mac](Bancada& b) {
             b.Marcar({kPassoMacIdSms});
             mac(b);
             b.e.infoModelo.opcoes[kOpcaoIdTelemetria].valor = "TELEMETRIA-0001-XYZ";
             b.e.infoModelo.opcoes[kOpcaoCelularSms].valor = "5511987654321";
         }},
        // Step 11: tag and MAC in a frame of the model's kind.
        {"mac comando serial", 22, Meio::Serial,
         {{"10 02 01 4C 14 " + ParaHex(Texto("TVX5150SMAC=")) + " " + kMac + " 10 03 45 EA",
           Ack(kQuadroDleCurto, false)}}, true, Passos({11}), "",
         [mac](Bancada& b) { b.Marcar({kPassoMacComando}); mac(b); }},
        // Step 12: tag "TVX3000A", RTU and speed; model 24 addresses 0xFE.
        {"rtu velocidade", 24, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 FE FF 00 13 10 02 FE 4C 02 54 56 58 33 30 30 30 41 07 09 10 03 *",
           Ack(kQuadroDleCurto, true)}}, true, Passos({12}), "",
         [](Bancada& b) {
             b.Marcar({kPassoRtuVelocidade});
             b.e.registroRtuVelocidade[8] = 7;
             b.e.registroRtuVelocidade[9] = 9;
         },
         // The stored record keeps its unused bytes: the tag is put in a copy.
         [](Bancada& b) { EXPECT_EQ(0, b.e.registroRtuVelocidade[0]); }},
        // Step 13: the tag goes into the stored record, 49 bytes out.
        {"telemetria", 5, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 01 FF 00 3A 10 02 01 4C 19 " +
               ParaHex(Juntar({Texto("TVX3300S"), {2}, id})) + " 10 03 27 E4", Ack(kQuadroDle, true)}},
         true, Passos({13}), "",
         [id](Bancada& b) {
             b.Marcar({kPassoTelemetria});
             b.e.registroTelemetria[8] = 2;
             std::copy(id.begin(), id.end(), b.e.registroTelemetria.begin() + 9);
         },
         [](Bancada& b) {
             EXPECT_EQ("TVX3300S", std::string(b.e.registroTelemetria.begin(),
                                               b.e.registroTelemetria.begin() + 8));
         }},
        // Step 20 for a REP meter: no RTU.
        {"campos de memoria rep", 25, Meio::Tcp,
         {{"00 00 03 00 00 00 00 05 00 FF 03 6B 10 02 00 50 04 " +
               ParaHex(CamposMemoria("00 08 01 00 00 00 01 00 00 00 00 00 00 00")) + " 10 03 0A A2",
           Ack(kQuadroDle, true)}}, true, Passos({20}), "",
         [](Bancada& b) {
             b.Marcar({kPassoCamposMemoria});
             b.e.medidorIon = 0;
             b.e.rtuMedidorIon = 7;  // only an ION meter has an RTU
         }},
        // Model 25 on its serial line: every step it offers, in catalogue
        // order; 'L' commands take the model's kind 6, 'P' commands kind 0.
        {"modelo 25 todos os passos", 25, Meio::Serial,
         {{ParaHex(Juntar({Hex("10 02 00 4C 19"), Texto("TVX3300S"), {1}, id25, Hex("10 03 C2 1C")})),
           Ack(kQuadroDleCurto, false)},
          {ParaHex(Juntar({Hex("10 02 00 4C 1A"), Texto("TVX3300S"), url, Hex("10 03 77 C6")})),
           Ack(kQuadroDleCurto, false)},
          {"10 02 00 4C 1C 54 56 58 33 33 30 30 57 1E 10 03 E5 19", Ack(kQuadroDleCurto, false)},
          {"10 02 00 50 01 05 03 1F 0E 07 09 10 03 4F 00", Ack(kQuadroDle, false)},
          {"10 02 00 50 05 10 03 19 56", Ack(kQuadroDle, false)},
          {"10 02 00 50 04 " + ParaHex(CamposMemoria("00 20 01 00 00 00 01 00 00 00 00 00 07 22")) +
               " 10 03 F3 BD", Ack(kQuadroDle, false)}},
         true, Passos({13, 14, 17, 18, 19, 20}), "",
         [id25, url](Bancada& b) {
             b.Marcar({13, 14, 17, 18, 19, 20});
             b.e.registroTelemetria[8] = 1;
             std::copy(id25.begin(), id25.end(), b.e.registroTelemetria.begin() + 9);
             std::copy(url.begin(), url.end(), b.e.registroUrl.begin() + 8);
             b.e.registroReconexao[8] = 30;
             b.e.relogio = [] { return Relogio{5, 3, 2031, 14, 7, 9}; };
             b.e.medidorIon = 1;
             b.e.rtuMedidorIon = 7;
         }},
    });
    // clang-format on
}

// Each kind of step on a link that can no longer send: the text posted after
// the announcement, if any; the sequence ends there.
TEST(ProgramacaoEstendida, FalhaDeCadaTipoSemLigacao) {
    const std::tuple<uint32_t, uint8_t, const char*> falhas[] = {
        {16, 2, "Programação de MAC, ID e Celular SMS falhou."},
        {6, 11, nullptr},
        {23, 12, "Programação de RTU/Velocidade."},
        {23, 13, nullptr},
        {23, 14, nullptr},
        {26, 16, "Programação de MAC falhou."},
        {25, 17, nullptr},
        {25, 18, "Programação de relógio"},
        {25, 19, "Reset da memória de massa"},
        {25, 20, "Programação dos campos de memória"},
        {30, 22, "Falha ao programar Entrada Digital"},
        {30, 23, "Falha ao programar Saída Digital"},
    };
    for (const auto& [modelo, id, texto] : falhas) {
        Bancada b(modelo);
        b.Marcar({id});
        bool reconectar = false;
        EXPECT_FALSE(b.e.ProgramacaoEstendida(reconectar));
        EXPECT_FALSE(reconectar);
        std::vector<std::string> esperadas{Anuncio(id)};
        if (texto) {
            esperadas.push_back(texto);
        }
        EXPECT_EQ(esperadas, b.fila.Textos()) << int(id);
    }
}

TEST(EnviaReset, TagTvx5150sNosModelosQueReiniciam) {
    const std::string reset = "00 00 03 00 00 00 00 05 01 FF 00 11 10 02 01 4C 18 " +
                              ParaHex(Texto("TVX5150S")) + " 10 03 01 25";
    // clang-format off
    Rodar(Rotina::Reset, {
        {"dle tcp", 3, Meio::Tcp, {{reset, {}}}, true, "antes"},
        {"sem ligacao", 3, Meio::Nenhum, {}, false, "antes"},
        // A model that is not restarted tries nothing, link or not.
        {"familia 21", 30, Meio::Nenhum, {}, true, "antes"},
    });
    // clang-format on
}

}  // namespace
}  // namespace tvx
