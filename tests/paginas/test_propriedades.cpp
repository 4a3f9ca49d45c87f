// The rows of the parameters grid: what the builder puts in each row, how
// the page reads them back by label, and the edits of the in-place editors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paginas/propriedades.h"

namespace tvx {
namespace {

constexpr uint32_t kIp10005 = 0x0500000Au;  // 10.0.0.5: first number in the lowest byte

const cPropertyItem& Ultima(const cPropertyRows& rows) {
    return rows.Linhas().back();
}

void Velocidades(cPropertyRows& rows) {
    rows.BeginChoices(2);
    rows.AppendChoice("9600", 96);
    rows.AppendChoice("38400", 38);
}

TEST(Propriedades, LinhaNovaCopiaOModelo) {
    cPropertyRows rows;
    rows.AddNumber("RTU", 5);
    rows.AddText("URL (Telemetria)", "tvx.com.br");
    EXPECT_EQ(Ultima(rows).editor, kEditorTexto);
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);

    // After a masked or an address text row the builder is back to plain
    // text, also for an operation that does not set the kind itself.
    rows.AddMaskedText("MAC (xx:xx:xx:xx:xx:xx)", "", "02:B4:6D:**:**:**");
    rows.AddText("Celular SMS (Alarme de Conexão)", "");
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);
    EXPECT_EQ(Ultima(rows).mask, "02:B4:6D:**:**:**");
    rows.AddIpText("IP do Gateway RX", kIp10005);
    rows.AddIpControl("IP", "10.0.0.9");
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);

    // Fields an operation does not set keep the previous row's values; only
    // a drop-down row answers GetNumber with its data.
    Velocidades(rows);
    rows.AddChoice("Velocidade", 38);
    rows.AddIpControl("Gateway", "10.0.0.254");
    EXPECT_EQ(Ultima(rows).kind, kTipoComValores);
    EXPECT_EQ(Ultima(rows).data, 38u);
    EXPECT_EQ(Ultima(rows).choices, "9600|38400|");
    EXPECT_EQ(rows.GetNumber("Gateway"), 10);
    rows.AddGroup("Medição");
    EXPECT_EQ(Ultima(rows).editor, kEditorGrupo);
    EXPECT_EQ(Ultima(rows).value, "10.0.0.254");

    // sortChoices starts at 1 and survives ResetContent with the template.
    EXPECT_EQ(Ultima(rows).sortChoices, 1);
    rows.SetSortChoices(false);
    rows.ResetContent();
    rows.AddCheck("Programar Medição", true);
    EXPECT_EQ(rows.Quantidade(), 1u);
    EXPECT_EQ(Ultima(rows).sortChoices, 0);
    EXPECT_EQ(Ultima(rows).value, "10.0.0.254");
    EXPECT_EQ(rows.Linha(1), nullptr);
}

TEST(Propriedades, Escolhas) {
    cPropertyRows rows;
    rows.BeginChoices(4);
    for (uint32_t i = 0; i < 5; ++i) {  // the fifth is beyond the capacity
        rows.AppendChoice("RTU" + std::to_string(i), i);
    }
    EXPECT_EQ(rows.ChoiceText(), "RTU0|RTU1|RTU2|RTU3|");
    rows.AddChoice("Faixa de RTU", 2);
    EXPECT_EQ(Ultima(rows).kind, kTipoComValores);
    EXPECT_EQ(Ultima(rows).choiceValues, (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(rows.GetText("Faixa de RTU"), "RTU2");
    EXPECT_EQ(rows.GetNumber("Faixa de RTU"), 2);
    rows.BeginChoices(0);
    rows.AppendChoice("nada", 1);
    EXPECT_TRUE(rows.ChoiceText().empty());

    // A stored code that no entry has: empty cell, the code is kept.
    const std::vector<uint32_t> codigos = {0, 1};
    rows.AddChoice("Tipo de Medidor", 9, "REP (ABNT/CODI)|ION (RS485)|", &codigos);
    EXPECT_EQ(rows.GetText("Tipo de Medidor"), "");
    EXPECT_EQ(rows.GetNumber("Tipo de Medidor"), 9);
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 0u);

    // A code two entries share shows the first; the editor opens on the one
    // the cell shows.
    rows.BeginChoices(11);
    rows.AppendChoice("5 - Brasil - VODAFONE", 5);
    rows.AppendChoice("AUTO (255)", 255);
    rows.AppendChoice("5 - Peru - Entel", 5);
    rows.AddChoice("Operadora de Celular (Telemetria)", 5);
    const size_t op = rows.Quantidade() - 1;
    EXPECT_EQ(rows.GetText("Operadora de Celular (Telemetria)"), "5 - Brasil - VODAFONE");
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 1u);
    ASSERT_TRUE(rows.Escolher(op, 3));
    EXPECT_EQ(rows.GetText("Operadora de Celular (Telemetria)"), "5 - Peru - Entel");
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 3u);
    ASSERT_TRUE(rows.Escolher(op, 2));
    EXPECT_EQ(rows.GetNumber("Operadora de Celular (Telemetria)"), 255);
    ASSERT_TRUE(rows.Escolher(op, 0));  // the empty first entry carries 0
    EXPECT_EQ(rows.GetNumber("Operadora de Celular (Telemetria)"), 0);
    EXPECT_FALSE(rows.Escolher(op, 4));
}

TEST(Propriedades, EscolhasSemValores) {
    cPropertyRows rows;
    rows.AddChoice("Porta", 0, "COM1|COM2|COM3", nullptr);
    EXPECT_EQ(Ultima(rows).kind, kTipoSemValores);
    EXPECT_EQ(Ultima(rows).value, "");
    EXPECT_EQ(EntradasEscolha(Ultima(rows)).size(), 3u);
    // Every entry carries 0: the editor opens on the last.
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 3u);
    ASSERT_TRUE(rows.Escolher(0, 2));
    EXPECT_EQ(rows.GetText("Porta"), "COM2");
    EXPECT_EQ(Ultima(rows).data, 0u);
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 2u);

    cPropertyItem item;
    item.choices = "Um|Dois||";
    item.choiceValues = {1, 2};
    const auto entradas = EntradasEscolha(item);
    ASSERT_EQ(entradas.size(), 3u);
    EXPECT_EQ(entradas[1].texto, "Dois");
    EXPECT_EQ(entradas[1].valor, 2u);
    EXPECT_EQ(entradas[2].texto, "");
    EXPECT_EQ(entradas[2].valor, 0u);
    // No value matches: the entry whose text the cell shows, any case.
    item.data = 7;
    item.value = "DOIS";
    EXPECT_EQ(IndiceInicialEditor(item), 2u);
}

TEST(Propriedades, BuscaPorRotulo) {
    cPropertyRows rows;
    rows.AddIpControl("IP", "192.168.0.50");
    rows.AddIpControl("Máscara", "255.255.255.0");
    rows.AddCheck("Enviar Programação de Saída Digital", true);
    Velocidades(rows);
    rows.AddChoice("Velocidade", 96);
    rows.AddNumber("Velocidade", 3);  // the first of two wins
    rows.AddCheck("Alterar MAC?", true);
    rows.AddCheck("Alterar MAC?", false);

    EXPECT_EQ(rows.GetText("ip"), "192.168.0.50");
    EXPECT_EQ(rows.GetText("MÁSCARA"), "255.255.255.0");
    EXPECT_TRUE(rows.GetCheck("ENVIAR PROGRAMAÇÃO DE SAÍDA DIGITAL"));
    EXPECT_EQ(rows.GetNumber("Velocidade"), 96);
    EXPECT_TRUE(rows.GetCheck("Alterar MAC?"));
    // Exact: no prefix, no letter without its accent.
    EXPECT_EQ(rows.GetText("I"), "");
    EXPECT_EQ(rows.GetText("Mascara"), "");
    EXPECT_FALSE(rows.Procurar("IP ").has_value());
    // Misses.
    EXPECT_EQ(rows.GetNumber("RTU"), 0);
    EXPECT_EQ(rows.GetUnsigned("RTU"), 0u);
    EXPECT_FALSE(rows.GetCheck("Alterar IP?"));

    EXPECT_TRUE(MesmoRotulo("ÀÉÎÕÜÇÑÞŠŒŽŸ", "àéîõüçñþšœžÿ"));
    EXPECT_FALSE(MesmoRotulo("×", "÷"));
    EXPECT_FALSE(MesmoRotulo("\xC3", "\xC3\xA3"));
    EXPECT_FALSE(MesmoRotulo("\xFF", "\xFE"));
}

TEST(Propriedades, NumerosETextoDeEndereco) {
    cPropertyRows rows;
    rows.AddIpText("TVX940 1 - IP", kIp10005);
    rows.AddIpText("TVX940 2 - IP", 0xFFFFFFFFu);
    EXPECT_EQ(rows.GetText("TVX940 1 - IP"), "10.0.0.5");
    EXPECT_EQ(rows.GetText("TVX940 2 - IP"), "255.255.255.255");
    EXPECT_EQ(rows.GetUnsigned("TVX940 1 - IP"), kIp10005);
    EXPECT_EQ(rows.GetNumber("TVX940 1 - IP"), static_cast<int32_t>(kIp10005));
    EXPECT_EQ(rows.GetNumber("TVX940 2 - IP"), -1);
    ASSERT_TRUE(rows.EditarTexto(1, "300.1.2.3"));  // above 255 counts as 255
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0x030201FFu);
    ASSERT_TRUE(rows.EditarTexto(1, "10.1"));
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0x0000010Au);

    rows.AddNumber("n", INT32_MIN);
    EXPECT_EQ(rows.GetText("n"), "-2147483648");
    const struct {
        const char* texto;
        int32_t numero;
        uint32_t semSinal;
    } casos[] = {
        {"  42abc", 42, 42},
        {"-7", -7, 0},
        {"+5", 5, 5},
        {"abc", 0, 0},
        {"- 3", 0, 0},
        {"126", 126, 126},
        {"2147483648", INT32_MAX, 2147483648u},
        {"-99999999999", INT32_MIN, 0},
        {"99999999999999999999999", INT32_MAX, UINT32_MAX},
    };
    rows.AddText("RTU", "");
    const size_t rtu = rows.Quantidade() - 1;
    for (const auto& caso : casos) {
        ASSERT_TRUE(rows.EditarTexto(rtu, caso.texto));
        EXPECT_EQ(rows.GetNumber("RTU"), caso.numero) << caso.texto;
        EXPECT_EQ(rows.GetUnsigned("RTU"), caso.semSinal) << caso.texto;
    }
}

TEST(Propriedades, EdicoesDosEditores) {
    cPropertyRows rows;
    rows.AddCheck("Alterar MAC?", false);
    rows.AddMaskedText("MAC (xx:xx:xx:xx:xx:xx)", "", "02:B4:6D:**:**:**");
    rows.AddIpControl("IP", "192.168.0.101");
    rows.AddText("URL (Telemetria)", "");

    EXPECT_TRUE(rows.AlternarCheck(0));
    EXPECT_TRUE(rows.GetCheck("Alterar MAC?"));
    EXPECT_TRUE(rows.AlternarCheck(0));
    EXPECT_FALSE(rows.GetCheck("Alterar MAC?"));
    EXPECT_TRUE(rows.DefinirCheck(0, true));
    EXPECT_TRUE(rows.GetCheck("Alterar MAC?"));
    // The masked row holds what the box shows.
    EXPECT_TRUE(rows.EditarTexto(1, "1a2b"));
    EXPECT_EQ(rows.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:1a:2b:__");
    EXPECT_TRUE(rows.EditarEndereco(2, "10.0.0.5"));
    EXPECT_EQ(rows.GetText("IP"), "10.0.0.5");
    EXPECT_TRUE(rows.EditarTexto(3, "tvx|url"));

    // Each edit only on a row of its editor, and nothing beyond the rows.
    EXPECT_FALSE(rows.EditarTexto(0, "x"));
    EXPECT_FALSE(rows.EditarEndereco(3, "1.2.3.4"));
    EXPECT_FALSE(rows.AlternarCheck(2));
    EXPECT_FALSE(rows.Escolher(1, 0));
    EXPECT_FALSE(rows.EditarTexto(99, "x"));
    EXPECT_EQ(rows.GetText("URL (Telemetria)"), "tvx|url");
}

TEST(Propriedades, ObservadorDaEscolhaPodeReconstruir) {
    // The page rebuilds every row when the gateway function changes; it does
    // so from inside the notification.
    cPropertyRows rows;
    auto construir = [&rows](uint32_t funcao) {
        rows.ResetContent();
        rows.BeginChoices(3);
        rows.AppendChoice("Nenhuma", 255);
        rows.AppendChoice("Gateway TX940", 85);
        rows.AddChoice("Função Gateway Universal", funcao);
        if (funcao == 85) {
            rows.AddIpText("IP do Gateway RX", 0);
            rows.AddNumber("RTU do TVX940", 0);
        }
    };
    std::vector<uint32_t> vistos;
    rows.aoEscolher = [&](const cPropertyItem& item) {
        vistos.push_back(item.data);
        construir(item.data);
    };
    construir(255);
    ASSERT_TRUE(rows.Escolher(0, 2));
    EXPECT_EQ(vistos, std::vector<uint32_t>{85});
    ASSERT_EQ(rows.Quantidade(), 3u);
    EXPECT_EQ(rows.GetText("Função Gateway Universal"), "Gateway TX940");
    EXPECT_EQ(rows.GetText("RTU do TVX940"), "0");
}

}  // namespace
}  // namespace tvx
