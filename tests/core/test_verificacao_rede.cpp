// The echo series of the worker: real ICMP echoes to loopback, and inside an
// isolated network namespace to addresses that hold nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
#include "support/rede_isolada.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;
using Relogio = std::chrono::steady_clock;
using Linhas = std::vector<std::string>;

// "Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:<n> ms ,Bytes:<bytes>"
bool Resposta(const std::string& t, int bytes) {
    const std::string inicio = "Ping recebido de 127.0.0.1 ,Status=0 ,Tempo:";
    const std::string fim = " ms ,Bytes:" + std::to_string(bytes);
    const size_t n = t.size() - fim.size();
    return t.size() > inicio.size() + fim.size() && t.rfind(inicio, 0) == 0 &&
           t.compare(n, fim.size(), fim) == 0 &&
           t.find_first_not_of("0123456789", inicio.size()) == n;
}

// The counted part (three of 32 bytes), then 64 to 2048 in steps of 64.
bool Serie(const Linhas& linhas, size_t primeira, const std::string& falha = "-") {
    for (size_t i = 0; primeira + i < linhas.size(); ++i) {
        if (linhas[primeira + i] != falha &&
            !Resposta(linhas[primeira + i], i < 3 ? 32 : 64 * int(i - 2))) {
            ADD_FAILURE() << linhas[primeira + i];
            return false;
        }
    }
    return true;
}

// One whole action on the worker thread, so that a stop reaches it.
struct Trabalhador : cThreadProgramar {
    explicit Trabalhador(uint32_t acaoDoTrabalho, uint32_t modelo = 3)
        : cThreadProgramar(equipamento) {
        janela = &fila;
        acao = acaoDoTrabalho;
        equipamento.SetModelo(modelo);
        equipamento.CarregaInfoModelo();
        equipamento.SetIpNovo("127.0.0.1");
    }
    ~Trabalhador() override { Para(); }
    bool Linhas(size_t n) {
        for (auto fim = Relogio::now() + 10s; fila.Textos().size() < n && Relogio::now() < fim;) {
            std::this_thread::sleep_for(5ms);
        }
        return fila.Textos().size() >= n;
    }
    bool Fim() {
        for (auto fim = Relogio::now() + 20s; EmExecucao(50) && Relogio::now() < fim;) {
        }
        return !EmExecucao(0);
    }
    cEquipamento equipamento;
    FilaProgresso fila;
};

TEST(SerieEco, TesteDoIpNovoComVarreduraDe64A2048) {
    Trabalhador t(kAcaoTestar);
    const auto inicio = Relogio::now();
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(t.Fim());
    const auto duracao = Relogio::now() - inicio;
    const Linhas linhas = t.fila.Textos();
    ASSERT_EQ(2u + 35u + 1u, linhas.size());
    EXPECT_EQ(Linhas(linhas.begin(), linhas.begin() + 2),
              (Linhas{"TVXNetCfg - v19.1.3", "Verificando IP programado..."}));
    EXPECT_TRUE(Serie(Linhas(linhas.begin(), linhas.end() - 1), 2));
    EXPECT_EQ("IP programado OK.", linhas.back());
    // 250 ms after each counted answer and 125 ms after each size.
    EXPECT_GE(duracao, 4750ms);
    EXPECT_LT(duracao, 15s);
}

TEST(SerieEco, SilencioArpEEcosPerdidosNaVarredura) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_EQ(0, rede.Executar(
                         "ip link add tvxa type veth peer name tvxb && "
                         "ip link set tvxa up && ip addr add 10.78.0.1/24 dev tvxa && "
                         "ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale"));
        cEquipamento equipamento;
        cThreadProgramar trabalhador(equipamento);
        EXPECT_TRUE(trabalhador.PingarSerie("10.78.0.5", 0, false));  // only the ARP removal
        std::string vizinhos;
        ASSERT_EQ(0, rede.Executar("ip -4 neigh show 10.78.0.5", &vizinhos));
        EXPECT_EQ(std::string::npos, vizinhos.find("02:00:00:00:00:05")) << vizinhos;

        // The first lost echo ends the counted part: no second echo, no sweep.
        Trabalhador mudo(kAcaoTestar);
        mudo.equipamento.SetIpNovo("10.77.0.9");
        const auto inicio = Relogio::now();
        ASSERT_TRUE(mudo.Inicia());
        ASSERT_TRUE(mudo.Fim());
        EXPECT_LT(Relogio::now() - inicio, 2500ms);
        EXPECT_EQ(mudo.fila.Textos(),
                  (Linhas{"TVXNetCfg - v19.1.3", "Verificando IP programado...",
                          "Ping falhou: 11010", "IP programado não respondeu.Verifique:",
                          "1)Se existe ligação física ao equipamento.",
                          "2)Se computador está na mesma rede que o equipamento.",
                          "Verificação finalizada."}));

        // Lost sweep echoes are shown and skipped; the series still succeeds.
        Trabalhador serie(kAcaoTestar);
        ASSERT_TRUE(serie.Inicia());
        ASSERT_TRUE(serie.Linhas(7));
        ASSERT_EQ(0, rede.Executar("echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(serie.Linhas(10));
        ASSERT_EQ(0, rede.Executar("echo 0 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(serie.Fim());
        const Linhas textos = serie.fila.Textos();
        ASSERT_EQ(38u, textos.size());
        EXPECT_EQ("IP programado OK.", textos.back());
        const auto falhas = std::count(textos.begin(), textos.end(), "Ping falhou: 11010");
        EXPECT_TRUE(falhas >= 1 && falhas <= 4) << falhas;
        EXPECT_TRUE(Serie(Linhas(textos.begin(), textos.end() - 1), 2, "Ping falhou: 11010"));

        // An unknown action and a model without IP programming.
        for (const auto& [modelo, acao, texto] :
             {std::tuple{3u, 7u, "Finalizado."},
              {25u, kAcaoTestar, "Este equipamento não tem programação de IP."}}) {
            Trabalhador t(acao, modelo);
            ASSERT_TRUE(t.Inicia());
            ASSERT_TRUE(t.Fim());
            EXPECT_EQ((Linhas{"TVXNetCfg - v19.1.3", texto}), t.fila.Textos());
        }
    });
}

}  // namespace
}  // namespace tvx
