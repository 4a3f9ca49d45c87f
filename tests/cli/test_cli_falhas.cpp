// tvxnetcfg-cli against a device that fails an exchange: the run ends with
// the exchange's failure line and exit code 1, and the log holds every line
// the terminal showed.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "processo_cli.h"
#include "support/rede_isolada.h"

#ifdef TVX_COM_SIMULADOR
#include "sim/simulador.h"

namespace tvx::teste {
namespace {

using sim::AlvoFalha;
using sim::Falha;

TEST(CliFalhas, NadaSePerdeDoLog) {
    struct Caso {
        const char* nome;
        uint32_t modelo;
        Falha falha;
        AlvoFalha alvo;
        std::vector<std::string> argumentos;
        const char* ultima;  // the run's last line
    };
    const AlvoFalha l22{'L', 22};
    const std::vector<std::string> programar{"--medium",  "0",        "--ip",
                                             "10.0.0.50", "--mask",   "255.255.255.0",
                                             "--gateway", "10.0.0.1", "program"};
    const std::vector<Caso> casos{
        {"L22 refused", 15, Falha::Recusar, l22, programar, "Falha na programação."},
        {"L22 garbage", 15, Falha::Lixo, l22, programar, "Falha na programação."},
        {"L22 dropped", 15, Falha::SumirSerial, l22, programar, "Falha na programação."},
        {"block dropped",
         19,
         Falha::SumirSerial,
         {{}, {}, {}, true},
         programar,
         "Falha na recepção (recv)."},
        {"Modbus exception",
         30,
         Falha::ExcecaoModbus,
         {{}, {}, 1280},
         {"--medium", "0", "--param", "Enviar Programação de Entrada Digital=1", "program"},
         "Falha"},
        {"L31 dropped",
         3,
         Falha::SumirSerial,
         {'L', 31},
         {"--medium", "0", "read"},
         "Falha na recepção (recv)."},
    };
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        // The device at the factory address; the new address answers nothing.
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
        for (const Caso& c : casos) {
            SCOPED_TRACE(c.nome);
            sim::Simulador equipamento(c.modelo);
            ASSERT_TRUE(equipamento.IniciarTcp("0.0.0.0"));
            equipamento.DefinirFalha(c.falha, c.alvo);
            PastaTemporaria pasta;
            std::vector<std::string> argumentos{"--model", std::to_string(c.modelo)};
            argumentos.insert(argumentos.end(), c.argumentos.begin(), c.argumentos.end());
            const ResultadoCli r =
                ExecutarCli(argumentos, pasta.Caminho(), std::chrono::seconds(30));
            EXPECT_EQ(1, r.codigo) << r.saida;
            EXPECT_NE(std::string::npos, r.saida.find(std::string("\n") + c.ultima + "\n"))
                << r.saida;
            const LogLido log = LerLog(LerArquivo(pasta / "tvxnetcfg.log"));
            EXPECT_TRUE(log.crlf);
            EXPECT_EQ(r.saida, log.texto);
        }
    });
}

}  // namespace
}  // namespace tvx::teste

#endif  // TVX_COM_SIMULADOR
