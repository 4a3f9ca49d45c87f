// The rows of the parameters grid: the drop-down rules, the search by label
// and the numbers the page reads back from a row's text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paginas/propriedades.h"

namespace tvx {
namespace {

TEST(Propriedades, Escolhas) {
    cPropertyRows rows;
    rows.BeginChoices(2);
    for (uint32_t i = 0; i < 3; ++i) {  // the third is beyond the capacity
        rows.AppendChoice("RTU" + std::to_string(i), i);
    }
    EXPECT_EQ(rows.ChoiceText(), "RTU0|RTU1|");
    // A stored code that no entry has: empty cell, the code is kept.
    const std::vector<uint32_t> codigos = {0, 1};
    rows.AddChoice("Tipo de Medidor", 9, "REP (ABNT/CODI)|ION (RS485)|", &codigos);
    EXPECT_EQ(rows.GetText("Tipo de Medidor"), "");
    EXPECT_EQ(rows.GetNumber("Tipo de Medidor"), 9);
    EXPECT_EQ(IndiceInicialEditor(rows.Linhas().back()), 0u);
    // A code two entries share shows the first; the editor opens on the one
    // the cell shows; the empty first entry carries 0.
    rows.BeginChoices(11);
    rows.AppendChoice("5 - Brasil - VODAFONE", 5);
    rows.AppendChoice("AUTO (255)", 255);
    rows.AppendChoice("5 - Peru - Entel", 5);
    rows.AddChoice("Operadora de Celular (Telemetria)", 5);
    const size_t op = rows.Quantidade() - 1;
    EXPECT_EQ(rows.GetText("Operadora de Celular (Telemetria)"), "5 - Brasil - VODAFONE");
    EXPECT_EQ(IndiceInicialEditor(rows.Linhas().back()), 1u);
    ASSERT_TRUE(rows.Escolher(op, 3));
    EXPECT_EQ(rows.GetText("Operadora de Celular (Telemetria)"), "5 - Peru - Entel");
    EXPECT_EQ(IndiceInicialEditor(rows.Linhas().back()), 3u);
    ASSERT_TRUE(rows.Escolher(op, 0));
    EXPECT_EQ(rows.GetNumber("Operadora de Celular (Telemetria)"), 0);
    EXPECT_FALSE(rows.Escolher(op, 4));
    // Without values every entry carries 0: the editor opens on the last.
    rows.AddChoice("Porta", 0, "COM1|COM2|COM3", nullptr);
    EXPECT_EQ(IndiceInicialEditor(rows.Linhas().back()), 3u);
    ASSERT_TRUE(rows.Escolher(rows.Quantidade() - 1, 2));
    EXPECT_EQ(rows.GetText("Porta"), "COM2");
    // No value matches: the entry whose text the cell shows, any case.
    cPropertyItem item;
    item.choices = "Um|Dois||";
    item.choiceValues = {1, 2};
    item.data = 7;
    item.value = "DOIS";
    EXPECT_EQ(IndiceInicialEditor(item), 2u);
}

TEST(Propriedades, BuscaPorRotuloENumeros) {
    cPropertyRows rows;
    rows.AddIpControl("Máscara", "255.255.255.0");
    rows.AddCheck("Alterar MAC?", true);
    rows.AddCheck("Alterar MAC?", false);  // the first of two wins
    rows.AddIpText("TVX940 2 - IP", 0xFFFFFFFFu);
    EXPECT_EQ(rows.GetText("MÁSCARA"), "255.255.255.0");
    EXPECT_EQ(rows.GetNumber("Máscara") + rows.GetNumber("nada") + rows.GetUnsigned("nada"), 255);
    EXPECT_TRUE(rows.GetCheck("alterar mac?"));
    // Exact: no prefix, no letter without its accent.
    EXPECT_EQ(rows.GetText("Mascara") + rows.GetText("Másc"), "");
    EXPECT_TRUE(MesmoRotulo("ÀÉÎÕÜÇÑÞŠŒŽŸ", "àéîõüçñþšœžÿ"));
    EXPECT_FALSE(MesmoRotulo("×", "÷") || MesmoRotulo("\xC3", "\xC3\xA3"));
    EXPECT_EQ(rows.GetText("TVX940 2 - IP"), "255.255.255.255");
    EXPECT_EQ(rows.GetNumber("TVX940 2 - IP"), -1);
    ASSERT_TRUE(rows.EditarTexto(3, "300.1.2.3"));  // above 255 counts as 255
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0x030201FFu);
    const struct {
        const char* texto;
        int32_t numero;
        uint32_t semSinal;
    } casos[] = {
        {"  42abc", 42, 42},
        {"-7", -7, 0},
        {"+5", 5, 5},
        {"- 3", 0, 0},
        {"2147483648", INT32_MAX, 2147483648u},
        {"-99999999999", INT32_MIN, 0},
        {"99999999999999999999999", INT32_MAX, UINT32_MAX},
    };
    rows.AddText("RTU", "");
    for (const auto& caso : casos) {
        ASSERT_TRUE(rows.EditarTexto(rows.Quantidade() - 1, caso.texto));
        EXPECT_EQ(rows.GetNumber("RTU"), caso.numero) << caso.texto;
        EXPECT_EQ(rows.GetUnsigned("RTU"), caso.semSinal) << caso.texto;
    }
    // Each edit only on a row of its editor, and nothing beyond the rows.
    EXPECT_FALSE(rows.EditarTexto(1, "x") || rows.EditarEndereco(4, "1.2.3.4"));
    EXPECT_FALSE(rows.AlternarCheck(0) || rows.Escolher(1, 0) || rows.EditarTexto(99, "x"));
}

}  // namespace
}  // namespace tvx
