// The rows of the parameters grid: what the builder puts in each row, how
// the page reads them back by label, and the edits of the in-place editors.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ui/logica/propriedades.h"

namespace tvx {
namespace {

// 10.0.0.5 as an IPv4 value: the first number in the lowest byte.
constexpr uint32_t kIp10005 = 0x0500000Au;

const cPropertyItem& Ultima(const cPropertyRows& rows) {
    return rows.Linhas().back();
}

TEST(Propriedades, LinhaNovaCopiaOModelo) {
    cPropertyRows rows;
    rows.AddNumber("RTU", 5);
    rows.AddText("URL (Telemetria)", "tvx.com.br");
    const cPropertyItem& texto = Ultima(rows);
    EXPECT_EQ(texto.editor, kEditorTexto);
    EXPECT_EQ(texto.kind, kTipoTexto);
    EXPECT_EQ(texto.value, "tvx.com.br");

    // After a masked or an address text row the builder is back to plain text.
    rows.AddMaskedText("MAC (xx:xx:xx:xx:xx:xx)", "02:B4:6D:00:00:01", "02:B4:6D:**:**:**");
    EXPECT_EQ(Ultima(rows).kind, kTipoMascara);
    EXPECT_EQ(Ultima(rows).mask, "02:B4:6D:**:**:**");
    rows.AddText("Celular SMS (Alarme de Conexão)", "");
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);
    // The mask is not set by AddText: it stays, unused by a plain row.
    EXPECT_EQ(Ultima(rows).mask, "02:B4:6D:**:**:**");
    rows.AddIpText("IP do Gateway RX", kIp10005);
    EXPECT_EQ(Ultima(rows).kind, kTipoIpTexto);
    // An operation that does not set the kind sees the reset too.
    rows.AddIpControl("IP", "10.0.0.9");
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);
    EXPECT_EQ(rows.GetNumber("IP"), 10);
    rows.AddText("ID (Telemetria 12 caracteres)", "123456789012");
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);
    EXPECT_EQ(rows.GetNumber("ID (Telemetria 12 caracteres)"), 2147483647);

    // Fields an operation does not set keep the previous row's values.
    rows.BeginChoices(2);
    rows.AppendChoice("9600", 96);
    rows.AppendChoice("38400", 38);
    rows.AddChoice("Velocidade", 38);
    rows.AddIpControl("Gateway", "10.0.0.254");
    const cPropertyItem& ip = Ultima(rows);
    EXPECT_EQ(ip.editor, kEditorIp);
    EXPECT_EQ(ip.kind, kTipoComValores);
    EXPECT_EQ(ip.data, 38u);
    EXPECT_EQ(ip.choices, "9600|38400|");
    // Only a drop-down row answers with its data.
    EXPECT_EQ(rows.GetNumber("Gateway"), 10);
    rows.AddGroup("Medição");
    EXPECT_EQ(Ultima(rows).editor, kEditorGrupo);
    EXPECT_EQ(Ultima(rows).value, "10.0.0.254");
    rows.AddCheck("Programar Medição", false);
    EXPECT_EQ(Ultima(rows).editor, kEditorCheck);
    EXPECT_EQ(Ultima(rows).kind, kTipoTexto);
    EXPECT_EQ(Ultima(rows).data, 0u);
}

TEST(Propriedades, OrdenacaoDasEscolhasVemDoModelo) {
    cPropertyRows rows;
    rows.AddText("a", "1");
    rows.SetSortChoices(false);
    rows.AddText("b", "2");
    rows.ResetContent();
    rows.AddText("c", "3");
    rows.SetSortChoices(true);
    rows.AddText("d", "4");
    ASSERT_EQ(rows.Quantidade(), 2u);
    EXPECT_EQ(rows.Linha(0)->sortChoices, 0);
    EXPECT_EQ(rows.Linha(1)->sortChoices, 1);
    EXPECT_EQ(rows.Linha(2), nullptr);

    cPropertyRows novo;
    novo.AddGroup("Avançado");
    EXPECT_EQ(Ultima(novo).sortChoices, 1);
}

TEST(Propriedades, EscolhasComValores) {
    cPropertyRows rows;
    rows.BeginChoices(4);
    rows.AppendChoice("RTU01 à RTU05", 0);
    rows.AppendChoice("RTU06 à RTU10", 1);
    rows.AppendChoice("RTU11 à RTU15", 2);
    rows.AppendChoice("RTU16 à RTU20", 3);
    EXPECT_EQ(rows.ChoiceText(), "RTU01 à RTU05|RTU06 à RTU10|RTU11 à RTU15|RTU16 à RTU20|");
    rows.AddChoice("Faixa de RTU", 2);
    const cPropertyItem& faixa = Ultima(rows);
    EXPECT_EQ(faixa.editor, kEditorLista);
    EXPECT_EQ(faixa.kind, kTipoComValores);
    EXPECT_EQ(faixa.value, "RTU11 à RTU15");
    EXPECT_EQ(faixa.data, 2u);
    EXPECT_EQ(faixa.choiceValues, (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(rows.GetNumber("Faixa de RTU"), 2);
    EXPECT_EQ(rows.GetText("Faixa de RTU"), "RTU11 à RTU15");

    // A stored code that no entry has: empty cell, the code is kept.
    const std::vector<uint32_t> codigos = {0, 1};
    rows.AddChoice("Tipo de Medidor", 9, "REP (ABNT/CODI)|ION (RS485)|", &codigos);
    EXPECT_EQ(Ultima(rows).value, "");
    EXPECT_EQ(rows.GetNumber("Tipo de Medidor"), 9);
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 0u);

    // A code that two entries share shows the first of them.
    rows.BeginChoices(11);
    rows.AppendChoice("5 - Brasil - VODAFONE", 5);
    rows.AppendChoice("6 - Brasil - VODAFONE IOT4U", 6);
    rows.AppendChoice("5 - Peru - Entel", 5);
    rows.AppendChoice("AUTO (255)", 255);
    rows.AddChoice("Operadora de Celular (Telemetria)", 5);
    EXPECT_EQ(Ultima(rows).value, "5 - Brasil - VODAFONE");
    // And its editor opens on the entry the cell shows.
    EXPECT_EQ(IndiceInicialEditor(Ultima(rows)), 1u);
    const size_t linha = *rows.Procurar("Operadora de Celular (Telemetria)");
    ASSERT_TRUE(rows.Escolher(linha, 3));
    EXPECT_EQ(rows.GetText("Operadora de Celular (Telemetria)"), "5 - Peru - Entel");
    EXPECT_EQ(rows.GetNumber("Operadora de Celular (Telemetria)"), 5);
    EXPECT_EQ(IndiceInicialEditor(*rows.Linha(linha)), 3u);
}

TEST(Propriedades, EscolhasSemValores) {
    cPropertyRows rows;
    rows.AddChoice("Porta", 0, "COM1|COM2|COM3|", nullptr);
    const cPropertyItem& porta = Ultima(rows);
    EXPECT_EQ(porta.kind, kTipoSemValores);
    EXPECT_TRUE(porta.choiceValues.empty());
    EXPECT_EQ(porta.value, "");
    EXPECT_EQ(rows.GetNumber("Porta"), 0);
    // Every entry carries 0: the editor opens on the last one.
    EXPECT_EQ(IndiceInicialEditor(porta), 3u);

    // Picking changes the text only; data stays what the page stored.
    ASSERT_TRUE(rows.Escolher(0, 2));
    EXPECT_EQ(rows.GetText("Porta"), "COM2");
    EXPECT_EQ(rows.Linha(0)->data, 0u);
    EXPECT_EQ(IndiceInicialEditor(*rows.Linha(0)), 2u);
    // The empty first entry empties the cell.
    ASSERT_TRUE(rows.Escolher(0, 0));
    EXPECT_EQ(rows.GetText("Porta"), "");
    EXPECT_FALSE(rows.Escolher(0, 4));
    EXPECT_EQ(rows.GetText("Porta"), "");
}

TEST(Propriedades, EntradasDoEditor) {
    cPropertyItem item;
    item.choices = "1200|2400||4800";
    item.choiceValues = {0, 1};
    const std::vector<EntradaEscolha> e = EntradasEscolha(item);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].texto, "1200");
    EXPECT_EQ(e[0].valor, 0u);
    EXPECT_EQ(e[1].texto, "2400");
    EXPECT_EQ(e[1].valor, 1u);
    EXPECT_EQ(e[2].texto, "");
    EXPECT_EQ(e[2].valor, 0u);
    EXPECT_EQ(e[3].texto, "4800");
    item.choices.clear();
    EXPECT_TRUE(EntradasEscolha(item).empty());

    // data 0 with no entry of value 0: the empty entry, which carries 0.
    item.choices = "Um|Dois|";
    item.choiceValues = {1, 2};
    item.data = 0;
    EXPECT_EQ(IndiceInicialEditor(item), 0u);
    item.choiceValues = {0, 1};
    EXPECT_EQ(IndiceInicialEditor(item), 1u);
    // No value matches: the text the cell shows, whatever its case.
    item.data = 7;
    item.value = "DOIS";
    EXPECT_EQ(IndiceInicialEditor(item), 2u);
    item.value = "Três";
    EXPECT_EQ(IndiceInicialEditor(item), 0u);
}

TEST(Propriedades, CapacidadeDasEscolhas) {
    cPropertyRows rows;
    rows.BeginChoices(2);
    rows.AppendChoice("(0) Ativa em 0", 0);
    rows.AppendChoice("(1) Ativa em 1", 1);
    rows.AppendChoice("(2) demais", 2);
    EXPECT_EQ(rows.ChoiceText(), "(0) Ativa em 0|(1) Ativa em 1|");
    EXPECT_EQ(rows.ChoiceValues(), (std::vector<uint32_t>{0, 1}));
    rows.AddChoice("Entrada 1", 2);
    EXPECT_EQ(Ultima(rows).value, "");

    // A new start empties what was built.
    rows.BeginChoices(0);
    rows.AppendChoice("nada", 1);
    EXPECT_EQ(rows.ChoiceText(), "");
    EXPECT_TRUE(rows.ChoiceValues().empty());
}

TEST(Propriedades, RotulosRepetidosOPrimeiroVale) {
    cPropertyRows rows;
    rows.BeginChoices(2);
    rows.AppendChoice("9600", 96);
    rows.AppendChoice("38400", 38);
    rows.AddChoice("Velocidade", 96);
    rows.AddNumber("Velocidade", 3);
    rows.AddCheck("Alterar MAC?", true);
    rows.AddCheck("Alterar MAC?", false);
    EXPECT_EQ(rows.GetNumber("Velocidade"), 96);
    EXPECT_EQ(rows.GetText("Velocidade"), "9600");
    EXPECT_EQ(rows.Procurar("Velocidade"), 0u);
    EXPECT_TRUE(rows.GetCheck("Alterar MAC?"));
}

TEST(Propriedades, BuscaSemDistinguirMaiusculas) {
    cPropertyRows rows;
    rows.AddIpControl("IP", "192.168.0.50");
    rows.AddIpControl("Máscara", "255.255.255.0");
    rows.AddCheck("Enviar Programação de Saída Digital", true);
    rows.AddNumber("Tempo de Reconexão (1 ~ 240 min)", 30);

    EXPECT_EQ(rows.GetText("ip"), "192.168.0.50");
    EXPECT_EQ(rows.GetText("MÁSCARA"), "255.255.255.0");
    EXPECT_EQ(rows.GetText("máscara"), "255.255.255.0");
    EXPECT_TRUE(rows.GetCheck("ENVIAR PROGRAMAÇÃO DE SAÍDA DIGITAL"));
    EXPECT_EQ(rows.GetNumber("tempo de reconexão (1 ~ 240 MIN)"), 30);
    // Exact: neither a prefix, nor a letter without its accent.
    EXPECT_EQ(rows.GetText("I"), "");
    EXPECT_EQ(rows.GetText("IP "), "");
    EXPECT_EQ(rows.GetText("Mascara"), "");
    EXPECT_FALSE(rows.Procurar("Máscara ").has_value());

    EXPECT_TRUE(MesmoRotulo("ÀÉÎÕÜÇÑÞ", "àéîõüçñþ"));
    EXPECT_TRUE(MesmoRotulo("ŠŒŽŸ", "šœžÿ"));
    EXPECT_FALSE(MesmoRotulo("×", "÷"));
    EXPECT_FALSE(MesmoRotulo("ß", "SS"));
    EXPECT_FALSE(MesmoRotulo("\xC3", "\xC3\xA3"));
    EXPECT_TRUE(MesmoRotulo("\xFF\xC3", "\xFF\xC3"));
    EXPECT_FALSE(MesmoRotulo("\xFF", "\xFE"));
}

TEST(Propriedades, TextoDeEnderecoIp) {
    cPropertyRows rows;
    rows.AddIpText("TVX940 1 - IP", kIp10005);
    rows.AddIpText("TVX940 2 - IP", 0);
    rows.AddIpText("TVX940 3 - IP", 0xFFFFFFFFu);
    rows.AddIpText("Medidor 1 - IP", 0x6500A8C0u);
    EXPECT_EQ(rows.GetText("TVX940 1 - IP"), "10.0.0.5");
    EXPECT_EQ(rows.GetText("TVX940 2 - IP"), "0.0.0.0");
    EXPECT_EQ(rows.GetText("TVX940 3 - IP"), "255.255.255.255");
    EXPECT_EQ(rows.GetText("Medidor 1 - IP"), "192.168.0.101");

    EXPECT_EQ(rows.GetUnsigned("TVX940 1 - IP"), kIp10005);
    EXPECT_EQ(static_cast<uint32_t>(rows.GetNumber("TVX940 1 - IP")), kIp10005);
    EXPECT_EQ(rows.GetUnsigned("TVX940 3 - IP"), 0xFFFFFFFFu);
    EXPECT_EQ(rows.GetNumber("TVX940 3 - IP"), -1);
    EXPECT_EQ(rows.GetUnsigned("Medidor 1 - IP"), 0x6500A8C0u);

    // Typed by the technician: numbers above 255 count as 255, missing ones as 0.
    ASSERT_TRUE(rows.EditarTexto(*rows.Procurar("TVX940 2 - IP"), "300.1.2.3"));
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0x030201FFu);
    ASSERT_TRUE(rows.EditarTexto(*rows.Procurar("TVX940 2 - IP"), "10.1"));
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0x0000010Au);
    ASSERT_TRUE(rows.EditarTexto(*rows.Procurar("TVX940 2 - IP"), "sem endereço"));
    EXPECT_EQ(rows.GetUnsigned("TVX940 2 - IP"), 0u);
}

TEST(Propriedades, NumerosLidosDoTexto) {
    cPropertyRows rows;
    rows.AddNumber("n", -2147483647 - 1);
    EXPECT_EQ(rows.GetText("n"), "-2147483648");
    EXPECT_EQ(rows.GetNumber("n"), std::numeric_limits<int32_t>::min());
    rows.AddNumber("Medidor 1 - Número de Registros", 125);
    EXPECT_EQ(rows.GetText("Medidor 1 - Número de Registros"), "125");

    const struct {
        const char* texto;
        int32_t numero;
        uint32_t semSinal;
    } casos[] = {
        {"  42abc", 42, 42},
        {"-7", -7, 0},
        {"+5", 5, 5},
        {"abc", 0, 0},
        {"", 0, 0},
        {"- 3", 0, 0},
        {"300", 300, 300},
        {"12 34", 12, 12},
        {"2147483648", 2147483647, 2147483648u},
        {"99999999999999999999999", 2147483647, 4294967295u},
        {"-99999999999", -2147483647 - 1, 0},
        {"4294967296", 2147483647, 4294967295u},
        {"\t\n8", 8, 8},
    };
    rows.AddText("RTU", "");
    const size_t rtu = *rows.Procurar("RTU");
    for (const auto& caso : casos) {
        ASSERT_TRUE(rows.EditarTexto(rtu, caso.texto));
        EXPECT_EQ(rows.GetNumber("RTU"), caso.numero) << '"' << caso.texto << '"';
        EXPECT_EQ(rows.GetUnsigned("RTU"), caso.semSinal) << '"' << caso.texto << '"';
    }
}

TEST(Propriedades, RotuloAusente) {
    cPropertyRows rows;
    EXPECT_EQ(rows.GetText("IP"), "");
    EXPECT_EQ(rows.GetNumber("RTU"), 0);
    EXPECT_EQ(rows.GetUnsigned("IP do Gateway RX"), 0u);
    EXPECT_FALSE(rows.GetCheck("Alterar IP?"));
    rows.AddCheck("Alterar IP?", true);
    rows.ResetContent();
    EXPECT_EQ(rows.Quantidade(), 0u);
    EXPECT_FALSE(rows.GetCheck("Alterar IP?"));
    EXPECT_FALSE(rows.Procurar("Alterar IP?").has_value());
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

    // The masked row holds what the box would show.
    EXPECT_TRUE(rows.EditarTexto(1, "1a2b3c"));
    EXPECT_EQ(rows.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:1a:2b:3c");
    EXPECT_TRUE(rows.EditarTexto(1, "1a"));
    EXPECT_EQ(rows.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:1a:__:__");
    // The text of the box itself, with a hole, is kept as it is.
    EXPECT_TRUE(rows.EditarTexto(1, "02:B4:6D:_a:__:3c"));
    EXPECT_EQ(rows.GetText("MAC (xx:xx:xx:xx:xx:xx)"), "02:B4:6D:_a:__:3c");

    EXPECT_TRUE(rows.EditarEndereco(2, "10.0.0.5"));
    EXPECT_EQ(rows.GetText("IP"), "10.0.0.5");
    EXPECT_TRUE(rows.EditarTexto(3, "tvx|url"));
    EXPECT_EQ(rows.GetText("URL (Telemetria)"), "tvx|url");

    // Each edit only on a row of its editor, and nothing beyond the rows.
    EXPECT_FALSE(rows.EditarTexto(0, "x"));
    EXPECT_FALSE(rows.EditarEndereco(3, "1.2.3.4"));
    EXPECT_FALSE(rows.AlternarCheck(2));
    EXPECT_FALSE(rows.DefinirCheck(4, true));
    EXPECT_FALSE(rows.Escolher(1, 0));
    EXPECT_FALSE(rows.EditarTexto(99, "x"));
    EXPECT_EQ(rows.GetText("URL (Telemetria)"), "tvx|url");
    EXPECT_EQ(rows.GetText("IP"), "10.0.0.5");
}

TEST(Propriedades, ObservadorDaEscolhaPodeReconstruir) {
    // The page rebuilds every row when the gateway function changes; the
    // observer gets its own copy of the row and may do so from inside.
    cPropertyRows rows;
    std::vector<uint32_t> vistos;
    auto construir = [&rows](uint32_t funcao) {
        rows.ResetContent();
        rows.BeginChoices(5);
        rows.AppendChoice("Nenhuma", 255);
        rows.AppendChoice("Gateway TX940", 85);
        rows.AppendChoice("Gateway ION", 33);
        rows.AddChoice("Função Gateway Universal", funcao);
        if (funcao == 85) {
            rows.AddIpText("IP do Gateway RX", 0);
            rows.AddNumber("RTU do TVX940", 0);
        }
    };
    rows.aoEscolher = [&](const cPropertyItem& item) {
        vistos.push_back(item.data);
        if (MesmoRotulo(item.name, "Função Gateway Universal")) {
            construir(item.data);
        }
    };
    construir(255);
    ASSERT_EQ(rows.Quantidade(), 1u);
    ASSERT_TRUE(rows.Escolher(0, 2));
    EXPECT_EQ(vistos, std::vector<uint32_t>{85});
    ASSERT_EQ(rows.Quantidade(), 3u);
    EXPECT_EQ(rows.GetText("Função Gateway Universal"), "Gateway TX940");
    EXPECT_EQ(rows.GetUnsigned("IP do Gateway RX"), 0u);
    EXPECT_EQ(rows.GetText("RTU do TVX940"), "0");
}

}  // namespace
}  // namespace tvx
