// tvxnetcfg-cli refusing what it must not run, before any packet leaves.
// Each refusal runs in an isolated network of its own all the same: a fault
// that let one through would otherwise reach for the factory address.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "processo_cli.h"
#include "support/rede_isolada.h"

namespace tvx::teste {
namespace {

const std::string kUseAjuda = "Use tvxnetcfg-cli --help para ver as opções.\n";

TEST(CliOpcoes, AjudaDescreveTudo) {
    PastaTemporaria pasta;
    const ResultadoCli r = ExecutarCli({"--help"}, pasta.Caminho());
    EXPECT_EQ(r.codigo, 0);
    EXPECT_EQ(r.erros, "");
    for (const char* trecho :
         {"Uso: tvxnetcfg-cli [OPÇÕES] AÇÃO",
          "program",
          "test",
          "read",
          "--config ARQUIVO",
          "--model N",
          "--medium N",
          "--address IP",
          "--port NOME",
          "--rate TEXTO",
          "--rtu N",
          "--ip IP",
          "--mask M",
          "--gateway G",
          "--param 'RÓTULO=VALOR'",
          "--log ARQUIVO",
          "--save",
          "CÓDIGO DE SAÍDA\n  0  ",
          "\n  2  opções inválidas ou valores recusados",
          "Ctrl+C",
          "O meio 0 (IP Default) fala com o endereço de fábrica 192.168.0.101 na rede"}) {
        EXPECT_NE(r.saida.find(trecho), std::string::npos) << trecho;
    }
}

TEST(CliOpcoes, NumerosEOpcoesEstritos) {
    struct Caso {
        std::vector<std::string> argumentos;
        std::string erro;
    };
    const std::vector<Caso> casos{
        {{"--model", "35", "program"}, "--model precisa de um número de 1 a 34: \"35\""},
        {{"--model", "-1", "read"}, "--model precisa de um número de 1 a 34: \"-1\""},
        {{"--model=3x", "read"}, "--model precisa de um número de 1 a 34: \"3x\""},
        {{"--model", " 3", "read"}, "--model precisa de um número de 1 a 34: \" 3\""},
        {{"--rtu", "256", "read"}, "--rtu precisa de um número de 0 a 255: \"256\""},
        {{"--medium", "3", "read"},
         "--medium precisa de 0 (IP Default), 1 (Este IP) ou 2 (Serial): \"3\""},
        {{"--rate", "9601", "read"},
         "--rate precisa de uma velocidade da tabela (110, 300, 600, 1200, 2400, 4800, 9600, "
         "14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000): \"9601\""},
        {{"--ip", "10.0.0.256", "read"},
         "--ip precisa de um endereço a.b.c.d com números de 0 a 255: \"10.0.0.256\""},
        {{"--address", "127.0.1", "read"},
         "--address precisa de um endereço a.b.c.d com números de 0 a 255: \"127.0.1\""},
        {{"--param", "Alterar MAC?", "read"},
         "--param precisa de 'RÓTULO=VALOR': \"Alterar MAC?\""},
        {{"--model"}, "--model precisa de um valor"},
        {{"--modelo", "3", "read"}, "opção desconhecida: --modelo"},
        {{"program", "read"}, "só uma ação por vez: \"read\""},
        {{"programar"}, "ação desconhecida: \"programar\" (use program, test ou read)"},
        {{"--save"}, "falta a ação: program, test ou read"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        PastaTemporaria pasta;
        for (const Caso& c : casos) {
            const ResultadoCli r = ExecutarCli(c.argumentos, pasta.Caminho());
            EXPECT_EQ(r.codigo, 2) << c.erro;
            EXPECT_EQ(r.saida, "");
            EXPECT_EQ(r.erros, "tvxnetcfg-cli: " + c.erro + "\n" + kUseAjuda);
        }
    });
}

// A configuration that points at loopback, in a folder of its own.
struct Bancada {
    Bancada() {
        GravarArquivo(
            pasta / "tvxnetcfg.ini",
            "[CONFIG]\r\nip=127.0.0.9\r\nmodelo=3\r\n[MEIO]\r\ntipo=1\r\nip=127.0.0.1\r\n");
    }
    ResultadoCli Executar(std::vector<std::string> argumentos) {
        return ExecutarCli(argumentos, pasta.Caminho());
    }
    PastaTemporaria pasta;
};

TEST(CliOpcoes, RecusasDasPaginas) {
    struct Caso {
        std::vector<std::string> argumentos;
        std::string erro;
    };
    const std::vector<Caso> casos{
        {{"--model", "8", "--medium", "1", "--address", "127.0.0.1", "read"},
         "tvxnetcfg-cli: o modelo 8 (TVX900) não oferece o meio 1\n"},
        {{"--model", "25", "--medium", "0", "read"},
         "tvxnetcfg-cli: o modelo 25 (TVX3300WEB) não oferece o meio 0\n"},
        {{"--medium", "2", "--address", "127.0.0.1", "--port", "/dev/null", "read"},
         "tvxnetcfg-cli: --address vale só para o meio 1 (Este IP); o meio é 2\n"},
        {{"--config", "nao-existe.ini", "read"},
         "tvxnetcfg-cli: não foi possível ler o arquivo de configuração \"nao-existe.ini\"\n"},
        {{"--model", "6", "--medium", "1", "--param", "Alterar MAC?=sim", "program"},
         "tvxnetcfg-cli: --param 'Alterar MAC?=sim': \"Alterar MAC?\" aceita 0 ou 1\n"},
        {{"--model", "19", "--medium", "0", "--ip", "10.0.0.5", "--mask", "255.0.0.0", "--param",
          "Medidor 2 - IP=10.0.0.5", "--param", "Medidor 2 - RTU=3", "--param",
          "Medidor 2 - Função=(4) Read Input Register", "--param",
          "Medidor 2 - Número de Registros=126", "--save", "program"},
         "tvxnetcfg-cli: Medidor 2 - Número de Registros inválido (maior que 125) (linha "
         "\"Medidor 2 - Número de Registros\": --param 'Medidor 2 - Número de Registros=...')\n"},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada&) {
        for (const Caso& c : casos) {
            Bancada b;
            const std::string antes = LerArquivo(b.pasta / "tvxnetcfg.ini");
            const ResultadoCli r = b.Executar(c.argumentos);
            EXPECT_EQ(r.codigo, 2) << c.erro;
            EXPECT_EQ(r.erros, c.erro);
            EXPECT_EQ(r.saida, "");
            // Nothing saved and nothing logged: no run started.
            EXPECT_EQ(LerArquivo(b.pasta / "tvxnetcfg.ini"), antes);
            EXPECT_FALSE(std::filesystem::exists(b.pasta / "tvxnetcfg.log"));
        }
    });
}

TEST(CliOpcoes, MeioUmSemEndereco) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada&) {
        Bancada b;
        GravarArquivo(b.pasta / "tvxnetcfg.ini", "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=1\r\n");
        const ResultadoCli r = b.Executar({"program"});
        EXPECT_EQ(r.codigo, 2);
        EXPECT_EQ(r.erros,
                  "tvxnetcfg-cli: o meio 1 (Este IP) precisa de um endereço: use --address\n");

        GravarArquivo(b.pasta / "tvxnetcfg.ini", "[CONFIG]\r\nmodelo=3\r\n[MEIO]\r\ntipo=7\r\n");
        const ResultadoCli s = b.Executar({"program"});
        EXPECT_EQ(s.codigo, 2);
        EXPECT_EQ(s.erros,
                  "tvxnetcfg-cli: Selecione um meio de comunicação. (--medium 0, 1 ou 2)\n");
    });
}

}  // namespace
}  // namespace tvx::teste
