// The model catalogue, row by row: the simulator and the front ends take it
// as it is, so these rows are its only independent check.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/catalogo.h"
#include "core/equipamento.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx {
namespace {

constexpr uint8_t M = 1u << kOpcaoMac;
constexpr uint8_t S = 1u << kOpcaoCelularSms;
constexpr uint8_t I = 1u << kOpcaoIdTelemetria;

struct Linha {
    const char* nome;
    int texto;  // row of kTextos; -1 for row 0
    uint8_t familia;
    uint8_t opcoes;
    std::vector<uint8_t> passos;  // slot by slot
    int tipoQuadro;
    int porta;
    // IpDefault, EsteIp, Serial, RtuVelocidade, TCP even on serial, PodeLer,
    // MostraIpProgramado, MostraEnderecosLidos, ModeloComDip, PermiteReset
    const char* marcas;
};

const Linha kLinhas[] = {
    {"Nenhum", -1, 255, 0, {}, 0, 5003, "1001000100"},
    {"TVX2201U - Gateway Universal", 1, 9, 0, {16}, 4, 5003, "1001111100"},
    {"TVX3300E", 2, 10, 0, {}, 6, 5003, "1111010101"},
    {"TVX5150S", 2, 10, 0, {}, 0, 5003, "1111010101"},
    {"TVX1800S", 2, 10, 0, {}, 0, 5003, "1111010101"},
    {"TVX5150TAP", 2, 10, 0, {0, 13}, 0, 5003, "1111010101"},
    {"TVX6400ST", 7, 10, 0, {11}, 4, 5006, "1101110111"},
    {"TVX6210ST", 7, 10, 0, {11}, 4, 5007, "1101110111"},
    {"TVX900", 3, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX2201", 1, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX1420E", 4, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX6400", 5, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX6210", 5, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX2200", 3, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX1600E/TVX1600ME", 6, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX8100", 2, 10, 0, {}, 0, 5003, "1101010100"},
    {"TVX2700 - GPRS", 3, 1, M | S | I, {2}, 0, 5003, "1001001100"},
    {"TVX6300LST", 7, 10, 0, {11}, 4, 5006, "1101110111"},
    {"TVX160", 1, 10, 0, {}, 4, 5003, "1001100100"},
    {"TVX2201 - TCPMBUS (Linkora Modbus - V3)", 1, 15, 0, {}, 0, 5003, "1001001100"},
    {"TVX2900E/ME", 8, 1, 0, {}, 0, 5003, "1001001100"},
    {"TVX2700 - GWTX940", 0, 6, 0, {}, 0, 5003, "1001001100"},
    {"TVX3500R", 2, 10, 0, {11}, 6, 5003, "1111010100"},
    {"TVX3300E - Telemetria", 2, 10, 0, {12, 13, 11, 14}, 6, 5003, "1111010100"},
    {"TVX3300E - GWGPRS", 2, 10, 0, {12, 13, 11, 14}, 6, 5003, "1101010100"},
    {"TVX3300WEB", 9, 0, 0, {13, 14, 17, 18, 19, 20}, 6, 5003, "0010010100"},
    {"TVX5150E", 10, 1, 0, {16}, 0, 5003, "1001001100"},
    {"TVX2201S - Gateway Universal", 11, 9, 0, {16}, 0, 5003, "1001011100"},
    {"TVX2201SW - Gateway GWTX940 5 IPs", 11, 6, 0, {16}, 0, 5003, "1001001100"},
    {"TVX3300S", 12, 10, 0, {}, 6, 5003, "1001010100"},
    {"TVXK42", 13, 21, 0, {22, 23}, 5, 502, "1101010000"},
    {"TVX3500S", 12, 10, 0, {}, 6, 5003, "1001010100"},
    {"TVX940E", 14, 1, M, {2}, 0, 5003, "1001001100"},
    {"RDA5526Q", 15, 10, 0, {}, 6, 5003, "1101010101"},
    {"Analisador TVX5150S", 16, 10, 0, {11}, 6, 5003, "1101010100"},
};

// Per instruction text: its number of numbered steps and excerpts.
const std::pair<size_t, std::vector<std::string>> kTextos[] = {
    {6, {"DIP 1, 3, 5 e 7 em ON e 2, 4, 6 e 8 em OFF", "AVANÇAR", "PROGRAMAR"}},
    {6, {"'PRG' ou 'PROG IP'", "AVANÇAR", "PROGRAMAR"}},
    {2, {"RTU=1", "38400"}},
    {6, {"DIP 1, 3, 5 e 7 em OFF e 2, 4, 6 e 8 em ON", "AVANÇAR", "PROGRAMAR"}},
    {6, {"DIP 8 em OFF", "AVANÇAR", "PROGRAMAR"}},
    {6, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON", "AVANÇAR", "PROGRAMAR"}},
    {8, {"ESC e PRG", "'PROG IP'", "'PRG LIG'", "AVANÇAR", "PROGRAMAR"}},
    {7, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON", "MAC", "PROGRAMAR"}},
    {9, {"'PrG IP'", "'dIG SEnhA'", "'PrG IP LIG'", "192.168.0.101", "'EFEtu'", "PROGRAMAR"}},
    {8, {"3 segundos", "'Modo PRG'/'ATV'", "vermelho", "verde", "PROGRAMAR"}},
    {8, {"'Para programar IP aperte PRG'", "'ESC'", "PROGRAMAR"}},
    {9, {"6 segundos", "192.168.0.101", "função", "3 segundos", "PROGRAMAR"}},
    {8, {"6 segundos", "192.168.0.101", "3 segundos", "PROGRAMAR"}},
    {1, {"'PROG'"}},
    {8, {"DIP 8 em OFF", "DIP 8 em ON", "192.168.0.101", "PROGRAMAR"}},
    {5, {"'ANALISE'", "mesma faixa", "PROGRAMAR"}},
    {5, {"programação de IP", "mesma faixa", "PROGRAMAR"}},
};

TEST(Catalogo, TodasAsLinhasComSeusTextos) {
    ASSERT_EQ(std::size(kLinhas), kQuantidadeModelos);
    std::vector<std::string> textos(std::size(kTextos));
    for (uint32_t i = 0; i < kQuantidadeModelos; ++i) {
        SCOPED_TRACE("linha " + std::to_string(i));
        const Linha& e = kLinhas[i];
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(i, r));
        EXPECT_STREQ(r.nome, e.nome);
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(r.opcoes[s].oferecida, (e.opcoes >> s) & 1u) << "opção " << s;
        }
        for (size_t s = 0; s < r.passos.size(); ++s) {
            EXPECT_EQ(r.passos[s].id, s < e.passos.size() ? e.passos[s] : 0) << "passo " << s;
        }
        cEquipamento eq;
        eq.SetModelo(i);
        ASSERT_TRUE(eq.CarregaInfoModelo());
        EXPECT_EQ(e.familia, eq.Familia());
        EXPECT_EQ(e.tipoQuadro, eq.TipoQuadro());
        EXPECT_EQ(e.porta, eq.PortaTcp());
        const bool marcas[] = {eq.PermiteIpDefault(),
                               eq.PermiteEsteIp(),
                               eq.PermiteSerial(),
                               eq.PermiteRtuVelocidade(),
                               (eq.SetMeio(kMeioSerial), eq.UsaTcp()),
                               (eq.SetMeio(kMeioEsteIp), eq.PodeLer()),
                               eq.MostraIpProgramado(),
                               eq.MostraEnderecosLidos(),
                               eq.ModeloComDip(),
                               eq.PermiteReset()};
        for (int m = 0; m < 10; ++m) {
            EXPECT_EQ(e.marcas[m] == '1', marcas[m]) << "marca " << m;
        }
        std::string nome, texto;
        EXPECT_TRUE(ObtemNomeModelo(i, nome) && ObtemInstrucoes(i, texto));
        EXPECT_EQ(nome, e.nome);
        EXPECT_EQ(texto, r.instrucoes);
        if (e.texto < 0) {
            EXPECT_EQ(texto, "Selecione um equipamento");
            continue;
        }
        // The text shared by its rows; numbered steps, one per CR LF line.
        const auto& [passos, trechos] = kTextos[static_cast<size_t>(e.texto)];
        EXPECT_TRUE(textos[e.texto].empty() || textos[e.texto] == texto);
        textos[e.texto] = texto;
        size_t n = 0;
        for (size_t inicio = 0; inicio != std::string::npos; ++n) {
            const size_t fim = texto.find("\r\n", inicio);
            EXPECT_EQ(texto.rfind(std::to_string(n + 1) + ") ", inicio), inicio);
            inicio = fim == std::string::npos ? fim : fim + 2;
        }
        EXPECT_EQ(n, passos);
        for (const std::string& trecho : trechos) {
            EXPECT_NE(texto.find(trecho), std::string::npos) << trecho;
        }
    }
    EXPECT_STREQ(NomeFuncaoGateway(0), "?");
}

// A record reused for another row or an index out of range keeps nothing of
// what it held.
TEST(Catalogo, RegistroReusadoZerado) {
    for (uint32_t indice : {2u, 35u}) {
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(16, r));
        r.operadoraOferecida = r.alterarIp = 1;
        r.opcoes[kOpcaoMac] = {1, 1, "00:11:22:33:44:55"};
        r.passos[1] = {99, 1};
        EXPECT_EQ(ObtemInfoModelo(indice, r), indice < kQuantidadeModelos);
        EXPECT_EQ(r.operadoraOferecida + r.alterarIp + r.passos[0].id + r.passos[1].id, 0);
        EXPECT_EQ(r.opcoes[kOpcaoMac].oferecida + r.opcoes[kOpcaoMac].marcada, 0);
        EXPECT_TRUE(r.opcoes[kOpcaoMac].valor.empty());
        EXPECT_EQ(r.nome == nullptr, indice >= kQuantidadeModelos);
    }
    std::string texto = "inalterado";
    EXPECT_FALSE(ObtemNomeModelo(35, texto) || ObtemInstrucoes(35, texto));
    EXPECT_EQ(texto, "inalterado");
}

// The equipment object: what a model changes in its choices and in the link,
// against a real loopback peer and a real pseudo-terminal.

TEST(Equipamento, SoContaOQueOModeloOferece) {
    cEquipamento e;
    e.SetModelo(32);  // offers only the MAC slot
    e.CarregaInfoModelo();
    for (auto& o : e.infoModelo.opcoes) {
        o.marcada = 1;
    }
    EXPECT_TRUE(e.AlterarMac());
    EXPECT_FALSE(e.AlterarCelularSms() || e.AlterarIdTelemetria());
}

TEST(Equipamento, TcpNaPortaDoModeloComTrintaSegundos) {
    teste::ParTcp par("127.0.0.61", 5006);
    cEquipamento e;
    e.SetModelo(17);
    e.SetMeio(kMeioSerial);  // model 17 stays on TCP
    e.SetPorta("/dev/nao-existe");
    e.SetIpProgramacao("127.0.0.61");
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_FALSE(e.canal.SerialAberta());
    EXPECT_EQ(30000, e.canal.TempoEsperaMs());
    EXPECT_EQ(30, e.canal.Socket()->Timeout());
    e.Desconecta();
    EXPECT_EQ(nullptr, e.canal.Socket());
    // Nothing listens on the new address: refused at once.
    e.SetIpNovo("127.0.0.63");
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Conecta(true));
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(5));
}

// The Modbus steps flag the channel as TCP; the serial port still closes.
TEST(Equipamento, SerialFechaMesmoEmModoModbus) {
    teste::PtyTeste pty;
    cEquipamento e;
    e.SetModelo(3);
    e.SetMeio(kMeioSerial);
    e.SetPorta(pty.CaminhoEscravo());
    ASSERT_TRUE(e.Conecta(false));
    EXPECT_TRUE(e.canal.SerialAberta());
    e.ModoModbus();
    e.Desconecta();
    EXPECT_FALSE(e.canal.SerialAberta());
}

}  // namespace
}  // namespace tvx
