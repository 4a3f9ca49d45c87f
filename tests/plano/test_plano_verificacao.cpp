// A plan is checked whole before anything is sent: each case is a spreadsheet
// saved as CSV, with the errors it must give (every one naming its row and
// column) or, when it is accepted, what its devices came to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plano/plano.h"

namespace tvx::plano {
namespace {

// A device as the test compares it: row, model, actions, new address, and
// the parameters in the order the columns gave them.
std::string Resumo(const Plano& plano) {
    std::string texto;
    for (const Dispositivo& d : plano.dispositivos) {
        texto += std::to_string(d.linha) + ":" + std::to_string(d.modelo) + ":";
        for (uint32_t a : d.acoes) {
            texto += std::to_string(a);
        }
        texto += ":" + d.ipNovo;
        for (const ValorLinha& p : d.valores.parametros) {
            texto += ":" + p.rotulo + "=" + p.valor;
        }
        texto += "\n";
    }
    return texto;
}

TEST(PlanoVerificacao, ErrosComLinhaEColuna) {
    struct Caso {
        const char* nome;
        std::string csv;
        std::vector<std::string> erros;  // empty: accepted
        std::string dispositivos = {};   // Resumo of an accepted plan
    };
    const std::string cabecalho = "modelo;meio;endereco;ip;mascara;gateway\r\n";
    const std::vector<Caso> casos{
        {"new address twice",
         cabecalho + "3;1;127.0.0.2;10.0.0.5;255.0.0.0;0.0.0.0\r\n" +
             "TVX5150S;1;127.0.0.2;10.0.0.5;255.0.0.0;0.0.0.0\r\n",
         {"linha 3, coluna \"ip\": o novo IP 10.0.0.5 já é o da linha 2"}},
        {"unknown model",
         cabecalho + "TVX9999;0;;10.0.0.5;;\r\n",
         {"linha 2, coluna \"modelo\": modelo desconhecido: \"TVX9999\" (use o número do "
          "catálogo, 1 a 34, ou o nome exato)"}},
        {"bad MAC",
         "modelo;ip;mascara;Alterar MAC?;MAC (xx:xx:xx:xx:xx:xx)\n"
         "6;10.0.0.5;255.0.0.0;1;02:B4:6D:ZZ:00:01\n",
         {"linha 2, coluna \"MAC (xx:xx:xx:xx:xx:xx)\": MAC inválido"}},
        {"unknown column, Windows-1252",
         "modelo;ip;Observa\xE7\xE3o\n3;10.0.0.5;sala 2\n",
         {"linha 1, coluna \"Observação\": coluna desconhecida"}},
        {"separator inside quotes",
         cabecalho + "\"TVX5150S;2\";0;;10.0.0.5;;\r\n",
         {"linha 2, coluna \"modelo\": modelo desconhecido: \"TVX5150S;2\" (use o número do "
          "catálogo, 1 a 34, ou o nome exato)"}},
        {"Windows-1252 value",
         "modelo;ip;mascara;Faixa de RTU;Alterar MAC?\n28;10.0.0.5;255.0.0.0;RTU06 \xE0 RTU10;0\n",
         {},
         "2:28:1:10.0.0.5:Faixa de RTU=RTU06 à RTU10:Alterar MAC?=0\n"},
        {"Windows-1252 accepted",
         "modelo;ip;mascara;Fun\xE7\xE3o Gateway Universal;RTU do TVX940;IP do Gateway RX\n"
         "1;10.0.0.5;255.0.0.0;Gateway TX940;7;10.0.0.9\n",
         {},
         "2:1:10:10.0.0.5:Função Gateway Universal=Gateway TX940:RTU do TVX940=7:IP do Gateway "
         "RX=10.0.0.9\n"},
        {"byte order mark, comma, line break in quotes, blank line",
         "\xEF\xBB\xBFmodelo,ip,mascara,porta,acoes\r\n15,10.0.0.1,255.0.0.0,,\r\n15,10.0.0.2,"
         "255.0.0.0,\"a,\r\nb\",program test\n\n15,10.0.0.3,,,read\r\n",
         {},
         "2:15:10:10.0.0.1\n3:15:12:10.0.0.2\n5:15:0:10.0.0.3\n"},
        {"row numbers after a line break in quotes",
         "modelo,ip,mascara,porta\n15,10.0.0.1,255.0.0.0,\"a\nb\"\n\n15,10.0.0.1,255.0.0.0,\n",
         {"linha 4, coluna \"ip\": o novo IP 10.0.0.1 já é o da linha 2"}},
        {"quote left open",
         cabecalho + "3;0;;10.0.0.5;;\r\n3;0;;\"10.0.0.6;;\r\n",
         {"linha 3: faltam as aspas que fecham o campo que começa nela"}},
        {"medium the model has not",
         cabecalho + "25;0;;;;\r\n",
         {"linha 2, coluna \"meio\": o modelo 25 (TVX3300WEB) não oferece o meio 0"}},
        {"address for another medium",
         cabecalho + "3;0;127.0.0.2;10.0.0.5;;\r\n",
         {"linha 2, coluna \"endereco\": vale só para o meio 1 (Este IP); o meio é 0"}},
        {"factory address as the new one",
         cabecalho + "3;0;;192.168.0.101;255.255.255.0;\r\n",
         {"linha 2, coluna \"ip\": o novo IP é o endereço de fábrica 192.168.0.101, em que "
          "chega o próximo equipamento"}},
        {"no new address", cabecalho + "3;0;;;;\r\n", {"linha 2, coluna \"ip\": IP inválido"}},
        {"read of a model without it",
         "modelo;ip;mascara;acoes\n8;10.0.0.5;255.0.0.0;program read\n",
         {"linha 2, coluna \"acoes\": o modelo 8 (TVX900) não tem leitura da programação "
          "(read)"}},
        {"unknown action",
         "modelo;ip;acoes\n3;10.0.0.5;programa\n",
         {"linha 2, coluna \"acoes\": ação desconhecida: \"programa\" (use program, test ou "
          "read)"}},
        {"a row of another model",
         "modelo;ip;Alterar MAC?\n3;10.0.0.5;1\n",
         {"linha 2, coluna \"Alterar MAC?\": Parâmetro desconhecido para este modelo: "
          "\"Alterar MAC?\""}},
        {"serial RTU is not the page's RTU",
         "modelo;meio;porta;rtu;ip;RTU\n3;2;COM3;300;10.0.0.5;\n",
         {"linha 2, coluna \"rtu\": precisa de um número de 0 a 255: \"300\""}},
        {"refusal of the page's Next",
         "modelo;meio;porta;Alterar Tempo de Reconexão;Tempo de Reconexão (1 ~ 240 min)\n"
         "25;2;COM3;1;241\n",
         {"linha 2, coluna \"Tempo de Reconexão (1 ~ 240 min)\": O tempo de reconexão deve "
          "ser de 1 a 240min!"}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Plano plano;
        std::vector<std::string> erros;
        EXPECT_EQ(VerificarPlano(c.csv, plano, erros), c.erros.empty());
        EXPECT_EQ(erros, c.erros);
        EXPECT_EQ(Resumo(plano), c.dispositivos);
    }
}

}  // namespace
}  // namespace tvx::plano
