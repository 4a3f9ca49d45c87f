// The model catalogue, row by row: the simulator and the front ends take it
// as it is, so these rows are its only independent check.
#include "core/catalogo.h"
#include "core/equipamento.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tvx {
namespace {

constexpr uint8_t M = 1u << kOpcaoMac;
constexpr uint8_t S = 1u << kOpcaoCelularSms;
constexpr uint8_t I = 1u << kOpcaoIdTelemetria;

struct LinhaEsperada {
    const char* nome;
    int texto;  // instruction text number; -1 for row 0
    uint8_t familia;
    uint8_t opcoes;
    std::vector<uint8_t> passos;  // slot by slot, 0 = empty
    int tipoQuadro;
    int porta;
    // IpDefault, EsteIp, Serial, RtuVelocidade, TCP even on serial, PodeLer,
    // MostraIpProgramado, MostraEnderecosLidos, ModeloComDip, PermiteReset
    const char* marcas;
};

const std::vector<LinhaEsperada> kEsperado = {
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

// Per instruction text: a row that uses it, its number of numbered steps,
// whether it sends the technician to Next and to "&Programar", and excerpts.
struct Texto {
    uint32_t linha;
    size_t passos;
    bool avancar;
    bool programar;
    std::vector<std::string> trechos;
};
const std::vector<Texto> kTextos = {
    {21, 6, true, true, {"DIP 1, 3, 5 e 7 em ON e 2, 4, 6 e 8 em OFF"}},
    {1, 6, true, true, {"'PRG' ou 'PROG IP'"}},
    {2, 2, false, false, {"RTU=1", "38400"}},
    {8, 6, true, true, {"DIP 1, 3, 5 e 7 em OFF e 2, 4, 6 e 8 em ON"}},
    {10, 6, true, true, {"DIP 8 em OFF"}},
    {11, 6, true, true, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON"}},
    {14, 8, true, true, {"ESC e PRG", "'PROG IP'", "'PRG LIG'"}},
    {6, 7, false, true, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON", "MAC"}},
    {20, 9, false, true, {"'PrG IP'", "'dIG SEnhA'", "'PrG IP LIG'", "192.168.0.101", "'EFEtu'"}},
    {25, 8, false, true, {"3 segundos", "'Modo PRG'/'ATV'", "vermelho", "verde"}},
    {26, 8, false, true, {"'Para programar IP aperte PRG'", "'ESC'"}},
    {27, 9, false, true, {"6 segundos", "192.168.0.101", "função", "3 segundos"}},
    {29, 8, false, true, {"6 segundos", "192.168.0.101", "3 segundos"}},
    {30, 1, false, false, {"'PROG'"}},
    {32, 8, false, true, {"DIP 8 em OFF", "DIP 8 em ON", "192.168.0.101"}},
    {33, 5, false, true, {"'ANALISE'", "mesma faixa"}},
    {34, 5, false, true, {"programação de IP", "mesma faixa"}},
};

TEST(Catalogo, TodasAsLinhasComSeusTextos) {
    ASSERT_EQ(kEsperado.size(), kQuantidadeModelos);
    for (uint32_t i = 0; i < kQuantidadeModelos; ++i) {
        SCOPED_TRACE("linha " + std::to_string(i));
        const LinhaEsperada& e = kEsperado[i];
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(i, r));
        ASSERT_NE(r.instrucoes, nullptr);
        EXPECT_STREQ(r.nome, e.nome);
        EXPECT_EQ(r.familia, e.familia);
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
        EXPECT_TRUE(eq.UsaTcp());
        std::string nome, texto;
        EXPECT_TRUE(ObtemNomeModelo(i, nome));
        EXPECT_EQ(nome, e.nome);
        EXPECT_TRUE(ObtemInstrucoes(i, texto));
        if (i == 0) {
            EXPECT_EQ(texto, "Selecione um equipamento");
            continue;
        }
        // Numbered steps, one per CR LF line, the text shared by its rows.
        const Texto& t = kTextos[static_cast<size_t>(e.texto)];
        std::string daLinha;
        ObtemInstrucoes(t.linha, daLinha);
        EXPECT_EQ(texto, daLinha);
        size_t n = 0;
        for (size_t inicio = 0; inicio != std::string::npos; ++n) {
            const size_t fim = texto.find("\r\n", inicio);
            const std::string linha = texto.substr(inicio, fim - inicio);
            EXPECT_EQ(linha.rfind(std::to_string(n + 1) + ") ", 0), 0u) << linha;
            inicio = fim == std::string::npos ? fim : fim + 2;
        }
        EXPECT_EQ(n, t.passos);
    }
    for (size_t n = 0; n < kTextos.size(); ++n) {
        SCOPED_TRACE("texto " + std::to_string(n));
        ASSERT_EQ(kEsperado[kTextos[n].linha].texto, static_cast<int>(n));
        std::string texto;
        ObtemInstrucoes(kTextos[n].linha, texto);
        EXPECT_EQ(texto.find("AVANÇAR") != std::string::npos, kTextos[n].avancar);
        EXPECT_EQ(texto.find("PROGRAMAR") != std::string::npos, kTextos[n].programar);
        for (const std::string& trecho : kTextos[n].trechos) {
            EXPECT_NE(texto.find(trecho), std::string::npos) << trecho;
        }
    }
}

TEST(Catalogo, OutroModeloOuIndiceForaDescartaMarcas) {
    for (uint32_t indice : {16u, 2u, 35u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(indice);
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(16, r));
        r.operadoraOferecida = r.alterarIp = 1;
        for (OpcaoModelo& o : r.opcoes) {
            o = {1, 1, "00:11:22:33:44:55"};
        }
        for (PassoModelo& p : r.passos) {
            p = {99, 1};
        }
        EXPECT_EQ(ObtemInfoModelo(indice, r), indice < kQuantidadeModelos);
        EXPECT_EQ(r.operadoraOferecida + r.alterarIp, 0);
        for (size_t s = 0; s < r.opcoes.size(); ++s) {
            EXPECT_EQ(r.opcoes[s].oferecida, indice == 16 ? (M | S | I) >> s & 1u : 0u);
            EXPECT_EQ(r.opcoes[s].marcada, 0);
            EXPECT_TRUE(r.opcoes[s].valor.empty());
        }
        EXPECT_EQ(r.passos[0].id, indice == 16 ? kPassoMacIdSms : 0);
        EXPECT_EQ(r.passos[0].marcado + r.passos[1].marcado + r.passos[1].id, 0);
        if (indice >= kQuantidadeModelos) {
            EXPECT_EQ(r.nome, nullptr);
            EXPECT_EQ(r.familia, 0);
            std::string texto = "inalterado";
            EXPECT_FALSE(ObtemNomeModelo(indice, texto));
            EXPECT_FALSE(ObtemInstrucoes(indice, texto));
            EXPECT_EQ(texto, "inalterado");
        }
    }
}

TEST(Catalogo, FuncoesDoGateway) {
    EXPECT_STREQ(NomeFuncaoGateway(33), "Gateway TX ION");
    EXPECT_STREQ(NomeFuncaoGateway(51), "Gateway RX");
    EXPECT_STREQ(NomeFuncaoGateway(85), "Gateway TX940");
    EXPECT_STREQ(NomeFuncaoGateway(170), "Gateway Modbus");
    EXPECT_STREQ(NomeFuncaoGateway(255), "Gateway PC");
    int desconhecidos = 0;
    for (int codigo = 0; codigo < 256; ++codigo) {
        desconhecidos += std::string(NomeFuncaoGateway(static_cast<uint8_t>(codigo))) == "?";
    }
    EXPECT_EQ(desconhecidos, 251);
}

}  // namespace
}  // namespace tvx
