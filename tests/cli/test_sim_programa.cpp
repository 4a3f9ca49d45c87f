// The tvxnetcfg-sim program itself: the loopback rule and its options, the
// printed exchanges, a power cycle on SIGUSR1 and a clean stop on a signal.
#include <gtest/gtest.h>

#include "processo.h"
#include "support/par_tcp.h"
#include "support/rede_isolada.h"
#include "transport/codec.h"
#include "transport/tcp_socket.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

TEST(SimPrograma, RecusaEnderecosForaDoLoopbackEOpcoesRuins) {
    PastaTemporaria ajuda;
    EXPECT_EQ(Processo(TVX_SIM, {"--help"}, ajuda.Caminho()).Aguardar(5s), 0);
    for (const std::vector<std::string>& argumentos :
         {std::vector<std::string>{"--model", "3", "--address", "192.168.0.101"},
          {"--model", "0"},
          {"--model", "35"},
          {"--address", "127.0.0.1"},
          {"--model", "3", "--fault", "explode"},
          {"--model", "3", "--fault", "refuse:X9"},
          {"--model", "3", "--ip", "1.2.3"}}) {
        PastaTemporaria pasta;
        Processo sim(TVX_SIM, argumentos, pasta.Caminho());
        EXPECT_EQ(sim.Aguardar(5s), 2) << argumentos[0] << " " << argumentos.back();
        if (argumentos.back() == "192.168.0.101") {
            EXPECT_NE(sim.Erros().find("only 127.0.0.0/8"), std::string::npos) << sim.Erros();
        }
    }
}

// Any other address only with the flag, and a warning; inside a network of
// the test's own.
TEST(SimPrograma, ServeMostraAsTrocasEParaComSinal) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        PastaTemporaria pasta;
        Processo sim(TVX_SIM,
                     {"--model", "2", "--address", "192.168.0.101", "--allow-any-address", "--mask",
                      "255.255.0.0", "--fault", "refuse:L22", "--fault-count", "1"},
                     pasta.Caminho());
        ASSERT_TRUE(sim.AguardarSaida("listening on 192.168.0.101:5003", 5s)) << sim.Saida();
        EXPECT_NE(sim.Erros().find("warning: listening on 192.168.0.101, outside 127.0.0.0/8"),
                  std::string::npos);
        EXPECT_NE(sim.Saida().find("IP 192.168.0.101, mask 255.255.0.0, gateway 0.0.0.0"),
                  std::string::npos);
        TcpSocket c;
        ASSERT_TRUE(c.Connect("192.168.0.101", 5003));
        std::string carga(68, '\0');
        carga.replace(0, 16, "TVX5150S10.0.0.5")
            .replace(28, 9, "255.0.0.0")
            .replace(48, 7, "0.0.0.0");
        uint8_t quadro[512], resposta[512];
        int n = MontarQuadroDle(quadro + 12, 500, 1, 'L', 22, 68,
                                reinterpret_cast<const uint8_t*>(carga.data()));
        n = EncapsularTcp(quadro, 512, quadro + 12, n, 1, 0);
        for (const char* esperada :
             {"00 0A 10 02 01 15 4C 16 10 03 6F A1", "00 0A 10 02 01 06 4C 16 10 03 E8 AA"}) {
            ASSERT_TRUE(c.Send(quadro, n) && c.WaitReadable());
            EXPECT_EQ(ParaHex(resposta, static_cast<size_t>(c.Receive(resposta, 512))), esperada);
        }
        n = MontarQuadroDle(quadro + 12, 500, 1, 'L', 31, 0, nullptr);
        ASSERT_TRUE(c.Send(quadro, EncapsularTcp(quadro, 512, quadro + 12, n, 1, 0)) &&
                    c.WaitReadable() && c.Receive(resposta, 512) > 0);
        // A long exchange is printed in part.
        ASSERT_TRUE(sim.AguardarSaida("configuration text", 3s)) << sim.Saida() << sim.Erros();
        EXPECT_NE(sim.Saida().find("<- 89 bytes"), std::string::npos);
        EXPECT_NE(sim.Saida().find("NAK: refused"), std::string::npos);
        EXPECT_NE(sim.Saida().find("ACK: kept, in force after a restart"), std::string::npos);
        EXPECT_NE(sim.Saida().find(" ... (+"), std::string::npos);
        // A power cycle applies the address and drops the link.
        sim.Sinalizar(SIGUSR1);
        EXPECT_TRUE(sim.AguardarSaida("power-cycled: IP 10.0.0.5, mask 255.0.0.0", 3s))
            << sim.Saida();
        EXPECT_TRUE(c.WaitReadable() && c.Receive(resposta, 512) == 0);
        sim.Sinalizar(SIGTERM);
        EXPECT_EQ(sim.Aguardar(2s), 0);
        EXPECT_NE(sim.Saida().find("stopped after 3 requests"), std::string::npos);
    });
}

TEST(SimPrograma, SerialMostraOCaminhoAAbrir) {
    PastaTemporaria pasta;
    Processo sim(TVX_SIM, {"--model", "25", "--serial"}, pasta.Caminho());
    ASSERT_TRUE(sim.AguardarSaida("serial line: /dev/pts/", 5s)) << sim.Saida();
    const std::string saida = sim.Saida();
    const size_t inicio = saida.find("/dev/pts/");
    EXPECT_TRUE(std::filesystem::exists(saida.substr(inicio, saida.find(' ', inicio) - inicio)));
    EXPECT_NE(saida.find("IP 192.168.0.101"), std::string::npos);
    sim.Sinalizar(SIGINT);
    EXPECT_EQ(sim.Aguardar(2s), 0);
}

}  // namespace
}  // namespace tvx::teste
