// The echo series of the worker: real ICMP echoes to loopback addresses, and
// inside an isolated network namespace to addresses that hold nothing.
#include <gtest/gtest.h>

#include <atomic>
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

// "Ping recebido de <ip> ,Status=0 ,Tempo:<n> ms ,Bytes:<bytes>"
bool Resposta(const std::string& t, const std::string& ip, int bytes) {
    const std::string inicio = "Ping recebido de " + ip + " ,Status=0 ,Tempo:";
    const std::string fim = " ms ,Bytes:" + std::to_string(bytes);
    const size_t n = t.size() - fim.size();
    return t.size() > inicio.size() + fim.size() && t.rfind(inicio, 0) == 0 &&
           t.compare(n, fim.size(), fim) == 0 &&
           t.find_first_not_of("0123456789", inicio.size()) == n;
}

bool AguardarLinhas(const FilaProgresso& fila, size_t n, std::chrono::milliseconds limite) {
    const auto fim = Relogio::now() + limite;
    while (fila.Textos().size() < n && Relogio::now() < fim) {
        std::this_thread::sleep_for(5ms);
    }
    return fila.Textos().size() >= n;
}

// One series or one whole action on the worker thread, so that a stop reaches it.
class Trabalhador : public cThreadProgramar {
  public:
    Trabalhador(int quantidade, bool varredura, uint32_t modelo = 3)
        : cThreadProgramar(equipamento), quantidade_(quantidade), varredura_(varredura) {
        janela = &fila;
        equipamento.SetModelo(modelo);
        equipamento.CarregaInfoModelo();
        equipamento.SetIpNovo("127.0.0.1");
    }
    ~Trabalhador() override { Para(); }
    bool Fim(std::chrono::seconds limite) {
        for (auto fim = Relogio::now() + limite; EmExecucao(50) && Relogio::now() < fim;) {
        }
        return !EmExecucao(0);
    }

    cEquipamento equipamento;
    FilaProgresso fila;
    std::atomic<int> resultado{-1};

  protected:
    uint32_t Executa() override {
        if (quantidade_ < 0) {
            return cThreadProgramar::Executa();
        }
        resultado = PingarSerie("127.0.0.1", quantidade_, varredura_) ? 1 : 0;
        return 0;
    }

  private:
    int quantidade_;
    bool varredura_;
};

TEST(SerieEco, TesteDoIpNovoComVarreduraDe64A2048) {
    Trabalhador t(-1, false);
    t.acao = kAcaoTestar;
    const auto inicio = Relogio::now();
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(t.Fim(20s));
    const auto duracao = Relogio::now() - inicio;
    const auto linhas = t.fila.Textos();
    ASSERT_EQ(2u + 35u + 1u, linhas.size());
    EXPECT_EQ("TVXNetCfg - v19.1.3", linhas[0]);
    EXPECT_EQ("Verificando IP programado...", linhas[1]);
    for (size_t i = 0; i < 35; ++i) {  // three of 32 bytes, then 64 to 2048 in steps of 64
        EXPECT_TRUE(Resposta(linhas[2 + i], "127.0.0.1", i < 3 ? 32 : 64 * int(i - 2)))
            << linhas[2 + i];
    }
    EXPECT_EQ("IP programado OK.", linhas.back());
    // 250 ms after each counted answer and 125 ms after each size.
    EXPECT_GE(duracao, 4750ms);
    EXPECT_LT(duracao, 15s);
    EXPECT_EQ(&t.fila, t.equipamento.janelaProgresso);
    EXPECT_EQ(MensagemIncluirProcesso(), t.equipamento.mensagemProgresso);
}

TEST(SerieEco, SemVarreduraAcaoDesconhecidaEModeloSemIp) {
    cEquipamento equipamento;
    FilaProgresso fila;
    cThreadProgramar trabalhador{equipamento};
    trabalhador.janela = &fila;
    auto inicio = Relogio::now();
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.1", 0, false));  // only the ARP removal
    EXPECT_LT(Relogio::now() - inicio, 200ms);
    EXPECT_TRUE(fila.Textos().empty());
    // The ARP removal rejects the text; the echo still goes to 127.0.0.255.
    inicio = Relogio::now();
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.300", 1, false));
    EXPECT_GE(Relogio::now() - inicio, 250ms);
    ASSERT_EQ(1u, fila.Textos().size());
    EXPECT_TRUE(Resposta(fila.Textos()[0], "127.0.0.255", 32)) << fila.Textos()[0];

    for (const auto& [modelo, acao, texto] :
         {std::tuple{3u, 7u, "Finalizado."},
          {25u, kAcaoTestar, "Este equipamento não tem programação de IP."}}) {
        Trabalhador t(-1, false, modelo);
        t.acao = acao;
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(t.Fim(5s));
        EXPECT_EQ((std::vector<std::string>{"TVXNetCfg - v19.1.3", texto}), t.fila.Textos());
        const auto primeira = t.fila.Retirar(0ms);
        EXPECT_TRUE(primeira && primeira->fixo);
    }
}

TEST(SerieEco, ParadaNaParteContadaOuNaVarreduraDaFalso) {
    for (bool varredura : {false, true}) {
        Trabalhador t(varredura ? 3 : 20, varredura);
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(AguardarLinhas(t.fila, varredura ? 5 : 2, 10s));
        ASSERT_TRUE(t.Para());
        EXPECT_EQ(0, t.resultado.load()) << "even with every echo answered";
        const auto textos = t.fila.Textos();
        // Counted part: the stop lands in the pause after the second answer.
        EXPECT_EQ(varredura, textos.size() != 2u);
        EXPECT_LT(textos.size(), 35u);
        for (size_t i = 0; i < textos.size(); ++i) {
            EXPECT_TRUE(Resposta(textos[i], "127.0.0.1", i < 3 ? 32 : 64 * int(i - 2)))
                << textos[i];
        }
    }
    Trabalhador parado(-1, false);
    parado.acao = kAcaoTestar;
    ASSERT_TRUE(parado.Inicia());
    ASSERT_TRUE(AguardarLinhas(parado.fila, 3, 5s));
    ASSERT_TRUE(parado.Para());
    const auto linhas = parado.fila.Textos();
    ASSERT_GE(linhas.size(), 7u);
    EXPECT_EQ(
        (std::vector<std::string>{
            "IP programado não respondeu.Verifique:", "1)Se existe ligação física ao equipamento.",
            "2)Se computador está na mesma rede que o equipamento.", "Verificação finalizada."}),
        std::vector<std::string>(linhas.end() - 4, linhas.end()));
}

TEST(SerieEcoIsolada, SilencioArpEEcosPerdidosNaVarredura) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        ASSERT_EQ(0, rede.Executar("ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa "
                                   "nud stale"));
        cEquipamento equipamento;
        FilaProgresso fila;
        cThreadProgramar trabalhador(equipamento);
        trabalhador.janela = &fila;
        EXPECT_TRUE(trabalhador.PingarSerie("10.78.0.5", 0, false));
        std::string vizinhos;
        ASSERT_EQ(0, rede.Executar("ip -4 neigh show 10.78.0.5", &vizinhos));
        EXPECT_EQ(std::string::npos, vizinhos.find("02:00:00:00:00:05")) << vizinhos;

        // The first lost echo ends the counted part: no second echo, no sweep.
        const auto inicio = Relogio::now();
        EXPECT_FALSE(trabalhador.PingarSerie("10.77.0.9", 3, true));
        const auto duracao = Relogio::now() - inicio;
        EXPECT_EQ(std::vector<std::string>{"Ping falhou: 11010"}, fila.Textos());
        EXPECT_GE(duracao, 900ms);
        EXPECT_LT(duracao, 2500ms);

        // Lost sweep echoes are shown and skipped; the series still succeeds.
        Trabalhador serie(3, true);
        ASSERT_TRUE(serie.Inicia());
        ASSERT_TRUE(AguardarLinhas(serie.fila, 5, 10s));
        ASSERT_EQ(0, rede.Executar("echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(AguardarLinhas(serie.fila, 8, 10s));
        ASSERT_EQ(0, rede.Executar("echo 0 > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
        ASSERT_TRUE(serie.Fim(20s));
        EXPECT_EQ(1, serie.resultado.load());
        const auto textos = serie.fila.Textos();
        ASSERT_EQ(35u, textos.size());
        int falhas = 0;
        for (size_t i = 0; i < textos.size(); ++i) {
            if (textos[i] == "Ping falhou: 11010") {
                ++falhas;
                EXPECT_GE(i, 5u);
            } else {
                EXPECT_TRUE(Resposta(textos[i], "127.0.0.1", i < 3 ? 32 : 64 * int(i - 2)))
                    << textos[i];
            }
        }
        EXPECT_GE(falhas, 1);
        EXPECT_LE(falhas, 4);
    });
}

}  // namespace
}  // namespace tvx
