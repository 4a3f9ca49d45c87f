#include "core/catalogo.h"

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
};

const std::vector<LinhaEsperada> kEsperado = {
    {"Nenhum", -1, 255, 0, {}},
    {"TVX2201U - Gateway Universal", 1, 9, 0, {16}},
    {"TVX3300E", 2, 10, 0, {}},
    {"TVX5150S", 2, 10, 0, {}},
    {"TVX1800S", 2, 10, 0, {}},
    {"TVX5150TAP", 2, 10, 0, {0, 13}},
    {"TVX6400ST", 7, 10, 0, {11}},
    {"TVX6210ST", 7, 10, 0, {11}},
    {"TVX900", 3, 1, 0, {}},
    {"TVX2201", 1, 1, 0, {}},
    {"TVX1420E", 4, 1, 0, {}},
    {"TVX6400", 5, 1, 0, {}},
    {"TVX6210", 5, 1, 0, {}},
    {"TVX2200", 3, 1, 0, {}},
    {"TVX1600E/TVX1600ME", 6, 1, 0, {}},
    {"TVX8100", 2, 10, 0, {}},
    {"TVX2700 - GPRS", 3, 1, M | S | I, {2}},
    {"TVX6300LST", 7, 10, 0, {11}},
    {"TVX160", 1, 10, 0, {}},
    {"TVX2201 - TCPMBUS (Linkora Modbus - V3)", 1, 15, 0, {}},
    {"TVX2900E/ME", 8, 1, 0, {}},
    {"TVX2700 - GWTX940", 0, 6, 0, {}},
    {"TVX3500R", 2, 10, 0, {11}},
    {"TVX3300E - Telemetria", 2, 10, 0, {12, 13, 11, 14}},
    {"TVX3300E - GWGPRS", 2, 10, 0, {12, 13, 11, 14}},
    {"TVX3300WEB", 9, 0, 0, {13, 14, 17, 18, 19, 20}},
    {"TVX5150E", 10, 1, 0, {16}},
    {"TVX2201S - Gateway Universal", 11, 9, 0, {16}},
    {"TVX2201SW - Gateway GWTX940 5 IPs", 11, 6, 0, {16}},
    {"TVX3300S", 12, 10, 0, {}},
    {"TVXK42", 13, 21, 0, {22, 23}},
    {"TVX3500S", 12, 10, 0, {}},
    {"TVX940E", 14, 1, M, {2}},
    {"RDA5526Q", 15, 10, 0, {}},
    {"Analisador TVX5150S", 16, 10, 0, {11}},
};

// Number of steps of each of the seventeen instruction texts.
const int kPassosDoTexto[17] = {6, 6, 2, 6, 6, 6, 8, 7, 9, 8, 8, 9, 8, 1, 8, 5, 5};

void ExpectLinhaZerada(const InfoModelo& r) {
    EXPECT_EQ(r.nome, nullptr);
    EXPECT_EQ(r.instrucoes, nullptr);
    EXPECT_EQ(r.familia, 0);
    EXPECT_EQ(r.operadoraOferecida, 0);
    EXPECT_EQ(r.alterarIp, 0);
    for (const OpcaoModelo& o : r.opcoes) {
        EXPECT_EQ(o.oferecida, 0);
        EXPECT_EQ(o.marcada, 0);
        EXPECT_TRUE(o.valor.empty());
    }
    for (const PassoModelo& p : r.passos) {
        EXPECT_EQ(p.id, 0);
        EXPECT_EQ(p.marcado, 0);
    }
}

void Sujar(InfoModelo& r) {
    r.operadoraOferecida = 1;
    r.alterarIp = 1;
    for (OpcaoModelo& o : r.opcoes) {
        o.oferecida = 1;
        o.marcada = 1;
        o.valor = "00:11:22:33:44:55";
    }
    for (PassoModelo& p : r.passos) {
        p.id = 99;
        p.marcado = 1;
    }
}

std::vector<std::string> Linhas(const std::string& texto) {
    std::vector<std::string> linhas;
    size_t inicio = 0;
    for (;;) {
        const size_t fim = texto.find("\r\n", inicio);
        linhas.push_back(texto.substr(inicio, fim - inicio));
        if (fim == std::string::npos) {
            return linhas;
        }
        inicio = fim + 2;
    }
}

// Every character must exist in Windows-1252/Latin-1: the texts are shown and
// logged in that code page.
bool Latin1Valido(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            continue;
        }
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= utf8.size()) {
            return false;
        }
        const auto seguinte = static_cast<unsigned char>(utf8[++i]);
        if ((seguinte & 0xC0) != 0x80) {
            return false;
        }
    }
    return true;
}

std::string Instrucoes(uint32_t indice) {
    std::string texto;
    EXPECT_TRUE(ObtemInstrucoes(indice, texto)) << indice;
    return texto;
}

TEST(Catalogo, TodasAsLinhas) {
    ASSERT_EQ(kEsperado.size(), kQuantidadeModelos);
    for (uint32_t i = 0; i < kQuantidadeModelos; ++i) {
        SCOPED_TRACE("linha " + std::to_string(i));
        const LinhaEsperada& e = kEsperado[i];
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(i, r));
        ASSERT_NE(r.nome, nullptr);
        ASSERT_NE(r.instrucoes, nullptr);
        EXPECT_STREQ(r.nome, e.nome);
        EXPECT_EQ(r.familia, e.familia);
        EXPECT_EQ(r.operadoraOferecida, 0);
        EXPECT_EQ(r.alterarIp, 0);
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(r.opcoes[s].oferecida, (e.opcoes >> s) & 1u) << "opção " << s;
            EXPECT_EQ(r.opcoes[s].marcada, 0);
            EXPECT_TRUE(r.opcoes[s].valor.empty());
        }
        for (size_t s = 0; s < r.passos.size(); ++s) {
            const uint8_t id = s < e.passos.size() ? e.passos[s] : 0;
            EXPECT_EQ(r.passos[s].id, id) << "passo " << s;
            EXPECT_EQ(r.passos[s].marcado, 0);
        }

        std::string nome = "x", texto = "x";
        EXPECT_TRUE(ObtemNomeModelo(i, nome));
        EXPECT_EQ(nome, e.nome);
        EXPECT_TRUE(ObtemInstrucoes(i, texto));
        EXPECT_EQ(texto, r.instrucoes);
    }
}

TEST(Catalogo, CarregarOutroModeloDescartaMarcasETextos) {
    InfoModelo r;
    ASSERT_TRUE(ObtemInfoModelo(16, r));
    Sujar(r);
    ASSERT_TRUE(ObtemInfoModelo(2, r));
    EXPECT_STREQ(r.nome, "TVX3300E");
    EXPECT_EQ(r.operadoraOferecida, 0);
    EXPECT_EQ(r.alterarIp, 0);
    for (const OpcaoModelo& o : r.opcoes) {
        EXPECT_EQ(o.oferecida, 0);
        EXPECT_EQ(o.marcada, 0);
        EXPECT_TRUE(o.valor.empty());
    }
    for (const PassoModelo& p : r.passos) {
        EXPECT_EQ(p.id, 0);
        EXPECT_EQ(p.marcado, 0);
    }

    // Reloading the same model clears its ticks as well.
    ASSERT_TRUE(ObtemInfoModelo(16, r));
    Sujar(r);
    ASSERT_TRUE(ObtemInfoModelo(16, r));
    EXPECT_EQ(r.opcoes[kOpcaoMac].oferecida, 1);
    EXPECT_EQ(r.opcoes[kOpcaoMac].marcada, 0);
    EXPECT_TRUE(r.opcoes[kOpcaoMac].valor.empty());
    EXPECT_EQ(r.passos[0].id, kPassoMacIdSms);
    EXPECT_EQ(r.passos[0].marcado, 0);
}

TEST(Catalogo, IndiceForaDoCatalogo) {
    for (uint32_t indice : {35u, 36u, 255u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(indice);
        InfoModelo r;
        ASSERT_TRUE(ObtemInfoModelo(16, r));
        Sujar(r);
        EXPECT_FALSE(ObtemInfoModelo(indice, r));
        ExpectLinhaZerada(r);

        std::string texto = "inalterado";
        EXPECT_FALSE(ObtemNomeModelo(indice, texto));
        EXPECT_EQ(texto, "inalterado");
        EXPECT_FALSE(ObtemInstrucoes(indice, texto));
        EXPECT_EQ(texto, "inalterado");
    }

    // The model page lists names from index 1 until the catalogue ends.
    int nomes = 0;
    std::string nome;
    for (uint32_t i = 1; ObtemNomeModelo(i, nome); ++i) {
        ++nomes;
    }
    EXPECT_EQ(nomes, 34);
}

TEST(Catalogo, FuncoesDoGateway) {
    EXPECT_STREQ(NomeFuncaoGateway(33), "Gateway TX ION");
    EXPECT_STREQ(NomeFuncaoGateway(51), "Gateway RX");
    EXPECT_STREQ(NomeFuncaoGateway(85), "Gateway TX940");
    EXPECT_STREQ(NomeFuncaoGateway(170), "Gateway Modbus");
    EXPECT_STREQ(NomeFuncaoGateway(255), "Gateway PC");
    int desconhecidos = 0;
    for (int codigo = 0; codigo < 256; ++codigo) {
        if (std::string(NomeFuncaoGateway(static_cast<uint8_t>(codigo))) == "?") {
            ++desconhecidos;
        }
    }
    EXPECT_EQ(desconhecidos, 251);
    EXPECT_STREQ(NomeFuncaoGateway(0), "?");
}

TEST(CatalogoInstrucoes, PassosNumeradosUmPorLinha) {
    for (uint32_t i = 1; i < kQuantidadeModelos; ++i) {
        SCOPED_TRACE("linha " + std::to_string(i));
        const std::string texto = Instrucoes(i);
        const std::vector<std::string> linhas = Linhas(texto);
        EXPECT_EQ(static_cast<int>(linhas.size()), kPassosDoTexto[kEsperado[i].texto]);
        for (size_t n = 0; n < linhas.size(); ++n) {
            const std::string prefixo = std::to_string(n + 1) + ") ";
            EXPECT_EQ(linhas[n].rfind(prefixo, 0), 0u) << linhas[n];
            EXPECT_GT(linhas[n].size(), prefixo.size() + 10) << linhas[n];
            EXPECT_EQ(linhas[n].find_first_of("\r\n"), std::string::npos) << linhas[n];
        }
        EXPECT_TRUE(Latin1Valido(texto));
    }
    EXPECT_EQ(Instrucoes(0), "Selecione um equipamento");
}

TEST(CatalogoInstrucoes, CadaTextoComOsSeusPassos) {
    // One row that uses each text number, and whether the text sends the
    // technician to the Next and the "&Programar" buttons.
    struct Texto {
        uint32_t linha;
        bool avancar;
        bool programar;
        std::vector<std::string> trechos;
    };
    const std::vector<Texto> textos = {
        {21, true, true, {"DIP 1, 3, 5 e 7 em ON e 2, 4, 6 e 8 em OFF"}},
        {1, true, true, {"'PRG' ou 'PROG IP'"}},
        {2, false, false, {"RTU=1", "38400"}},
        {8, true, true, {"DIP 1, 3, 5 e 7 em OFF e 2, 4, 6 e 8 em ON"}},
        {10, true, true, {"DIP 8 em OFF"}},
        {11, true, true, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON"}},
        {14, true, true, {"ESC e PRG", "'PROG IP'", "'PRG LIG'"}},
        {6, false, true, {"DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON", "MAC"}},
        {20, false, true, {"'PrG IP'", "'dIG SEnhA'", "'PrG IP LIG'", "192.168.0.101", "'EFEtu'"}},
        {25, false, true, {"3 segundos", "'Modo PRG'/'ATV'", "vermelho", "verde"}},
        {26, false, true, {"'Para programar IP aperte PRG'", "'ESC'"}},
        {27, false, true, {"6 segundos", "192.168.0.101", "função", "3 segundos"}},
        {29, false, true, {"6 segundos", "192.168.0.101", "3 segundos"}},
        {30, false, false, {"'PROG'"}},
        {32, false, true, {"DIP 8 em OFF", "DIP 8 em ON", "192.168.0.101"}},
        {33, false, true, {"'ANALISE'", "mesma faixa"}},
        {34, false, true, {"programação de IP", "mesma faixa"}},
    };
    ASSERT_EQ(textos.size(), 17u);
    std::vector<std::string> vistos;
    for (size_t n = 0; n < textos.size(); ++n) {
        const Texto& t = textos[n];
        SCOPED_TRACE("texto " + std::to_string(n));
        ASSERT_EQ(kEsperado[t.linha].texto, static_cast<int>(n));
        const std::string texto = Instrucoes(t.linha);
        EXPECT_EQ(texto.find("AVANÇAR") != std::string::npos, t.avancar);
        EXPECT_EQ(texto.find("PROGRAMAR") != std::string::npos, t.programar);
        for (const std::string& trecho : t.trechos) {
            EXPECT_NE(texto.find(trecho), std::string::npos) << trecho;
        }
        for (const std::string& anterior : vistos) {
            EXPECT_NE(texto, anterior);
        }
        vistos.push_back(texto);
    }

    // Rows that share a text number show the very same text.
    for (uint32_t i = 1; i < kQuantidadeModelos; ++i) {
        EXPECT_EQ(Instrucoes(i), vistos[static_cast<size_t>(kEsperado[i].texto)]) << i;
    }
}

TEST(CatalogoInstrucoes, SenhaDoPainelSaoSeisSetas) {
    // Texts 6, 8 and 10 ask for the panel password; the sequence is the same
    // wherever it appears.
    std::string primeira;
    for (uint32_t linha : {14u, 20u, 26u}) {
        SCOPED_TRACE(linha);
        const std::string texto = Instrucoes(linha);
        const size_t inicio = texto.find("sequência ");
        ASSERT_NE(inicio, std::string::npos);
        const size_t fim = texto.find_first_of(".;", inicio);
        const std::string sequencia =
            texto.substr(inicio + std::string("sequência ").size(), fim - inicio - 11);
        int teclas = 0;
        size_t pos = 0;
        for (;;) {
            const size_t virgula = sequencia.find(", ", pos);
            const std::string tecla = sequencia.substr(pos, virgula - pos);
            EXPECT_TRUE(tecla == "CIMA" || tecla == "BAIXO" || tecla == "ESQUERDA" ||
                        tecla == "DIREITA")
                << tecla;
            ++teclas;
            if (virgula == std::string::npos) {
                break;
            }
            pos = virgula + 2;
        }
        EXPECT_EQ(teclas, 6);
        if (primeira.empty()) {
            primeira = sequencia;
        }
        EXPECT_EQ(sequencia, primeira);
    }
}

}  // namespace
}  // namespace tvx
