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

const char* const kPedidoProgramacao = "00 00 00 00 00 06 01 03 05 00 00 04";
const char* const kPedidoMedicao = "00 00 00 00 00 06 01 03 04 00 00 0E";
const std::string kPedidosRegistros = std::string(kPedidoProgramacao) + " " + kPedidoMedicao;
// Inputs: only input 1 at 1; outputs 1 and 3 bistable; IP 10.1.2.3.
const Bytes kProgramacao = LeituraModbus(Hex("00 01 00 05 0A 01 02 03"));
// 1.5, -2.25, 127, 0, 12.3456, 25.0625, -0.0004, low 16 bits first.
const Bytes kMedicao = LeituraModbus(
    Hex("00 00 3F C0 00 00 C0 10 00 00 42 FE 00 00 00 00 87 94 41 45 80 00 41 C8 B7 17 B9 D1"));
std::string TextoProgramacao() {
    std::string t = "\r\nProgramação ativa:\r\nE1:Ativa em:1\r\n";
    for (int i = 2; i <= 16; ++i) {
        t += "E" + std::to_string(i) + ":Ativa em:0\r\n";
    }
    return t +
           "Saída 1:(1) Biestável\r\nSaída 2:(0) Monoestável\r\n"
           "Saída 3:(1) Biestável\r\nSaída 4:(0) Monoestável\r\nIP:010.001.002.003";
}
const char* const kTextoMedicao =
    "\r\nMedição:\r\nIACS:1.500\r\nIDC:-2.250\r\nVFN:127.000\r\nVNT:0.000\r\n"
    "VDC:12.346\r\nTEMP1:25.062\r\nTEMP2:-0.000\r\n";

void Palavras(Bancada& b, uint16_t entradas, uint16_t saidas, uint32_t ip) {
    EXPECT_EQ(entradas, b.e.entradasDigitais);
    EXPECT_EQ(saidas, b.e.saidasDigitais);
    EXPECT_EQ(ip, b.e.ipModbus);
}

std::vector<Caso> Casos() {
    const std::string gateway = "192.168.000.005 255.255.255.000 192.168.000.001";
    const std::string ion = "IP:010.000.000.200\r\nRTU Ion 1:3\r\nRTU Ion 2:4";
    // clang-format off
    return {
        // Family 9: the record read with "LER=".
        {"gateway modbus", 1, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 6)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:115200", gateway},
        {"velocidade 1200", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 0)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:1200"},
        {"velocidade 9600", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 3)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:9600"},
        {"velocidade 19200", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 4)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:19200"},
        {"velocidade 38400", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 5)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:38400"},
        {"velocidade 153600", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 7)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:153600"},
        {"velocidade desconhecida", 27, Meio::Tcp, {{kLer, RegistroGateway(0xAA, 200)}}, true,
         "Função: Gateway Modbus\r\nVelocidade:?"},
        {"tx ion", 1, Meio::Tcp, {{kLer, RegistroGateway(0x21, 6)}}, true,
         "Função: Gateway TX ION\r\n" + ion, gateway},
        {"tx 940", 1, Meio::Tcp, {{kLer, RegistroGateway(0x55, 6)}}, true,
         "Função: Gateway TX 940\r\nIP:010.000.000.200\r\nTVX940:3"},
        {"rx", 1, Meio::Tcp, {{kLer, RegistroGateway(0x33, 6)}}, true, "Função: Gateway RX"},
        {"pc", 1, Meio::Tcp, {{kLer, RegistroGateway(0xFF, 6)}}, true, "Função: Gateway PC"},
        {"funcao zero", 1, Meio::Tcp, {{kLer, RegistroGateway(0x00, 6)}}, true, "", gateway},
        {"funcao desconhecida", 1, Meio::Tcp, {{kLer, RegistroGateway(0x56, 6)}}, true, ""},
        // Tagged meters and RTUs: 'L' 31 answered with text, cleaned of controls.
        {"texto tcp", 3, Meio::Tcp, {{kPedidoTexto, ComTexto(5, kTextoEquipamento)}}, true,
         std::string(kTextoLimpo), "10.0.0.5 255.255.255.0 anterior",
         [](Bancada& b) { b.e.SetGatewayLido("anterior"); }},
        {"texto quadro simples", 6, Meio::Tcp,
         {{"4C 1F", Texto("IP:10.0.0.6\r\nMask:255.0.0.0\r\nGateway: 10.0.0.1\r\n")}}, true,
         "IP:10.0.0.6\r\nMask:255.0.0.0\r\nGateway: 10.0.0.1\r\n", "10.0.0.6 255.0.0.0 10.0.0.1"},
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
        {"texto serial", 3, Meio::Serial,
         {{"10 02 01 4C 1F 10 03 A8 E0", ComTexto(3, kTextoEquipamento)}}, true,
         std::string(kTextoLimpo), "10.0.0.5 255.255.255.0 "},
        {"texto serial rtu 2", 22, Meio::Serial,
         {{"10 02 02 4C 1F 10 03 A8 68", ComTexto(3, kTextoEquipamento)}}, true,
         std::string(kTextoLimpo), "",
         [](Bancada& b) { b.e.SetRtu(2); }},
        {"texto serial mudo", 5, Meio::Serial, {{"10 02 01 4C 1F 10 03 A8 E0", {}}}, false,
         "Falha na recepção (recv).", "anterior  ",
         [](Bancada& b) { b.e.SetIpLido("anterior"); }},
        // Family 21: the programming block, then the measurement block.
        {"registros", 30, Meio::Tcp,
         {{kPedidoProgramacao, kProgramacao}, {kPedidoMedicao, kMedicao}}, true,
         TextoProgramacao() + kTextoMedicao, "010.001.002.003  ", {},
         [](Bancada& b) { Palavras(b, 0x0001, 0x0005, 0x0302010Au); }},
        {"registros programacao inacessivel", 30, Meio::Tcp,
         {{kPedidoProgramacao, ExcecaoModbus(0x03)}, {kPedidoMedicao, kMedicao}}, true,
         kTextoMedicao, "anterior  ",
         [](Bancada& b) { b.e.SetIpLido("anterior"); },
         [](Bancada& b) { Palavras(b, 0xFFFF, 3, 0); }},
        {"registros medicao inacessivel", 30, Meio::Tcp,
         {{kPedidoProgramacao, kProgramacao}, {kPedidoMedicao, ExcecaoModbus(0x03)}}, true,
         TextoProgramacao()},
        // Two registers where four were asked for, then a count that lies.
        {"registros curtos", 30, Meio::Tcp,
         {{kPedidoProgramacao, LeituraModbus(Hex("00 00 00 00"))}, {kPedidoMedicao,
           [] {
               Bytes mentira = LeituraModbus(Hex("00 00 3F C0"));
               mentira[8] = 28;
               return mentira;
           }()}}, false, "Falha na recepção (recv).", "  ", {},
         [](Bancada& b) { Palavras(b, 0xFFFF, 3, 0); }},
        // A device that answered neither block was not read.
        {"registros mudo", 30, Meio::Tcp, {{kPedidoProgramacao, {}}}, false,
         "Falha na recepção (recv).", "", {},
         [](Bancada& b) { EXPECT_EQ(kQuadroModbus, b.e.canal.TipoQuadro()); }},
        // Models without reading: an empty result.
        {"nenhum", 0, Meio::Nenhum, {}, false, ""},
        {"familia 1", 8, Meio::Nenhum, {}, false, ""},
        {"familia 10 sem leitura", 18, Meio::Nenhum, {}, false, ""},
        {"familia 15", 19, Meio::Nenhum, {}, false, ""},
        {"familia 6", 21, Meio::Nenhum, {}, false, ""},
    };
    // clang-format on
}

TEST(LerConfiguracao, CadaFamiliaECadaMeio) {
    Rodar(Rotina::Ler, Casos());
}

// A Portuguese locale writes "1,500"; the device values must not follow it.
TEST(LerConfiguracao, PontoDecimalQualquerQueSejaOLocal) {
    const auto pasta =
        std::filesystem::temp_directory_path() / ("tvx-locale-" + std::to_string(::getpid()));
    struct Limpeza {
        std::filesystem::path pasta;
        ~Limpeza() {
            std::setlocale(LC_ALL, "C");
            std::error_code erro;
            std::filesystem::remove_all(pasta, erro);
        }
    } limpeza{pasta};
    auto virgula = [] {
        char teste[16];
        std::snprintf(teste, sizeof teste, "%.1f", 1.5);
        return std::string(teste) == "1,5";
    };
    if (!std::setlocale(LC_ALL, "pt_BR.UTF-8") || !virgula()) {
        // No such locale installed: compile one into a private directory.
        std::filesystem::create_directories(pasta);
        const std::string comando =
            "localedef -i pt_BR -f UTF-8 " + (pasta / "pt_BR.UTF-8").string() + " >/dev/null 2>&1";
        ::setenv("LOCPATH", pasta.c_str(), 1);
        if (std::system(comando.c_str()) != 0 || !std::setlocale(LC_ALL, "pt_BR.UTF-8") ||
            !virgula()) {
            GTEST_SKIP() << "no locale with a decimal comma could be set";
        }
    }
    Rodar(Rotina::Ler, {{"registros",
                         30,
                         Meio::Tcp,
                         {{kPedidoProgramacao, kProgramacao}, {kPedidoMedicao, kMedicao}},
                         true,
                         TextoProgramacao() + kTextoMedicao}});
}

// Whatever bit pattern a register pair holds is a float the text shows whole.
TEST(LerConfiguracao, ValoresExtremosDaMedicao) {
    Bytes bytes;
    for (const uint32_t bits : {0x7F7FFFFFu, 0xFF800000u, 0x7FC00000u, 0x00000001u, 0x80000000u,
                                0x3F800000u, 0x3F800000u}) {
        const Bytes par{static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits),
                        static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16)};
        bytes.insert(bytes.end(), par.begin(), par.end());
    }
    EXPECT_EQ(
        "\r\nMedição:\r\nIACS:340282346638528859811704183484516925440.000\r\nIDC:-inf\r\n"
        "VFN:nan\r\nVNT:0.000\r\nVDC:-0.000\r\nTEMP1:1.000\r\nTEMP2:1.000\r\n",
        protocolos::TextoMedicoes(bytes.data()));
    // A block counts only with every byte asked for, by length and by count.
    Bytes resposta = LeituraModbus(bytes);
    EXPECT_TRUE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 36, 28));
    resposta[8] = 27;
    EXPECT_FALSE(protocolos::BlocoRegistrosCompleto(resposta.data(), 37, 28));
}

}  // namespace
}  // namespace tvx
