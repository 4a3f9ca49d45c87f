// The echo series of the worker: real ICMP echoes to loopback addresses, and
// inside an isolated network namespace to addresses that hold nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <regex>
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

const std::regex kRespostaLoopback32(
    R"(Ping recebido de 127\.0\.0\.1 ,Status=0 ,Tempo:[0-9]+ ms ,Bytes:32)");

std::string RespostaDe(const std::string& endereco, int bytes) {
    std::string escapado;
    for (char c : endereco) {
        if (c == '.') {
            escapado += '\\';
        }
        escapado += c;
    }
    return "Ping recebido de " + escapado +
           " ,Status=0 ,Tempo:[0-9]+ ms ,Bytes:" + std::to_string(bytes);
}

bool Casa(const std::string& texto, const std::string& padrao) {
    return std::regex_match(texto, std::regex(padrao));
}

// Takes every line that arrives until the queue stays quiet for silencio.
std::vector<LinhaProgresso> Esvaziar(FilaProgresso& fila,
                                     std::chrono::milliseconds silencio = 50ms) {
    std::vector<LinhaProgresso> linhas;
    while (auto linha = fila.Retirar(silencio)) {
        linhas.push_back(*linha);
    }
    return linhas;
}

// Waits (bounded) until at least n lines were posted.
bool AguardarLinhas(const FilaProgresso& fila, size_t n, std::chrono::milliseconds limite) {
    const auto fim = Relogio::now() + limite;
    while (Relogio::now() < fim) {
        if (fila.Textos().size() >= n) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return fila.Textos().size() >= n;
}

// Runs one series on the worker thread, so that a stop request reaches it.
class SerieNoTrabalhador : public cThreadProgramar {
  public:
    SerieNoTrabalhador(cEquipamento& e, std::string ip, int quantidade, bool varredura)
        : cThreadProgramar(e), ip_(std::move(ip)), quantidade_(quantidade), varredura_(varredura) {}
    ~SerieNoTrabalhador() override { Para(); }

    std::atomic<int> resultado{-1};

  protected:
    uint32_t Executa() override {
        resultado = PingarSerie(ip_, quantidade_, varredura_) ? 1 : 0;
        return 0;
    }

  private:
    std::string ip_;
    int quantidade_;
    bool varredura_;
};

class SerieEco : public ::testing::Test {
  protected:
    cEquipamento equipamento;
    FilaProgresso fila;
    cThreadProgramar trabalhador{equipamento};

    void SetUp() override { trabalhador.janela = &fila; }
};

TEST_F(SerieEco, LoopbackRespondeComUmaLinhaPorEcoEPausaDepoisDeCada) {
    const auto inicio = Relogio::now();
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.1", 2, false));
    const auto duracao = Relogio::now() - inicio;

    const auto linhas = Esvaziar(fila);
    ASSERT_EQ(2u, linhas.size());
    for (const LinhaProgresso& linha : linhas) {
        EXPECT_TRUE(std::regex_match(linha.texto, kRespostaLoopback32)) << linha.texto;
        EXPECT_FALSE(linha.fixo) << "a formatted line travels as a copy";
    }
    EXPECT_GE(duracao, 500ms) << "250 ms after each answer";
    EXPECT_LT(duracao, 2500ms);
}

TEST_F(SerieEco, QuantidadeZeroSemVarreduraSoRemoveOArp) {
    const auto inicio = Relogio::now();
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.1", 0, false));
    EXPECT_LT(Relogio::now() - inicio, 200ms);
    EXPECT_TRUE(fila.Textos().empty());
}

TEST_F(SerieEco, OctetoAcimaDe255ValeComo255) {
    // The ARP removal rejects the text; the echo still goes to 127.0.0.255.
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.300", 1, false));
    const auto textos = fila.Textos();
    ASSERT_EQ(1u, textos.size());
    EXPECT_TRUE(Casa(textos[0], RespostaDe("127.0.0.255", 32))) << textos[0];
}

TEST_F(SerieEco, VarreduraVaiDe64A2048EmPassosDe64) {
    const auto inicio = Relogio::now();
    EXPECT_TRUE(trabalhador.PingarSerie("127.0.0.1", 3, true));
    const auto duracao = Relogio::now() - inicio;

    const auto textos = fila.Textos();
    ASSERT_EQ(3u + 32u, textos.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::regex_match(textos[i], kRespostaLoopback32)) << textos[i];
    }
    for (size_t i = 0; i < 32; ++i) {
        const int bytes = 64 * static_cast<int>(i + 1);
        EXPECT_TRUE(Casa(textos[3 + i], RespostaDe("127.0.0.1", bytes))) << textos[3 + i];
    }
    EXPECT_TRUE(Casa(textos.back(), RespostaDe("127.0.0.1", 2048)));
    // 3 x 250 ms and 32 x 125 ms of pauses.
    EXPECT_GE(duracao, 4750ms);
    EXPECT_LT(duracao, 15s);
}

TEST(SerieEcoParada, ParadaNaParteContadaEncerraSemLinha) {
    cEquipamento equipamento;
    FilaProgresso fila;
    SerieNoTrabalhador serie(equipamento, "127.0.0.1", 20, false);
    serie.janela = &fila;
    ASSERT_TRUE(serie.Inicia());
    ASSERT_TRUE(AguardarLinhas(fila, 2, 5s));
    ASSERT_TRUE(serie.Para());

    EXPECT_EQ(0, serie.resultado.load());
    const auto textos = fila.Textos();
    // The stop lands in the pause after the second answer.
    EXPECT_EQ(2u, textos.size());
    for (const std::string& t : textos) {
        EXPECT_TRUE(std::regex_match(t, kRespostaLoopback32)) << t;
    }
}

TEST(SerieEcoParada, ParadaDuranteAVarreduraDaFalsoMesmoComTodosOsEcosRespondidos) {
    cEquipamento equipamento;
    FilaProgresso fila;
    SerieNoTrabalhador serie(equipamento, "127.0.0.1", 3, true);
    serie.janela = &fila;
    ASSERT_TRUE(serie.Inicia());
    ASSERT_TRUE(AguardarLinhas(fila, 5, 10s));
    ASSERT_TRUE(serie.Para());

    EXPECT_EQ(0, serie.resultado.load());
    const auto textos = fila.Textos();
    EXPECT_GE(textos.size(), 5u);
    EXPECT_LT(textos.size(), 35u);
    for (const std::string& t : textos) {
        EXPECT_NE(std::string::npos, t.find("Ping recebido de 127.0.0.1 ,Status=0")) << t;
    }
    EXPECT_TRUE(Casa(textos[3], RespostaDe("127.0.0.1", 64)));
}

// ---- the worker's entry and the test run on loopback

class ExecucaoDoTrabalhador : public ::testing::Test {
  protected:
    cEquipamento equipamento;
    FilaProgresso fila;
    cThreadProgramar trabalhador{equipamento};

    void SetUp() override { trabalhador.janela = &fila; }

    void Modelo(uint32_t modelo) {
        equipamento.SetModelo(modelo);
        ASSERT_TRUE(equipamento.CarregaInfoModelo());
    }

    void AguardarFim(std::chrono::seconds limite) {
        const auto fim = Relogio::now() + limite;
        while (trabalhador.EmExecucao(50) && Relogio::now() < fim) {
        }
        ASSERT_FALSE(trabalhador.EmExecucao(0)) << "the run did not end in time";
    }
};

TEST_F(ExecucaoDoTrabalhador, AcaoDesconhecidaMostraVersaoEFinalizado) {
    trabalhador.acao = 7;
    ASSERT_TRUE(trabalhador.Inicia());
    AguardarFim(5s);
    const auto linhas = Esvaziar(fila);
    ASSERT_EQ(2u, linhas.size());
    EXPECT_EQ("TVXNetCfg - v19.1.3", linhas[0].texto);
    EXPECT_TRUE(linhas[0].fixo);
    EXPECT_EQ("Finalizado.", linhas[1].texto);
    EXPECT_TRUE(linhas[1].fixo);
}

TEST_F(ExecucaoDoTrabalhador, TesteDeModeloSemProgramacaoDeIp) {
    Modelo(25);
    equipamento.SetIpNovo("127.0.0.1");
    trabalhador.acao = kAcaoTestar;
    ASSERT_TRUE(trabalhador.Inicia());
    AguardarFim(5s);
    EXPECT_EQ((std::vector<std::string>{"TVXNetCfg - v19.1.3",
                                        "Este equipamento não tem programação de IP."}),
              fila.Textos());
    EXPECT_EQ(&fila, equipamento.janelaProgresso);
    EXPECT_EQ(MensagemIncluirProcesso(), equipamento.mensagemProgresso);
}

TEST_F(ExecucaoDoTrabalhador, TesteParadoPeloTecnicoMostraAsVerificacoes) {
    Modelo(3);
    equipamento.SetIpNovo("127.0.0.1");
    trabalhador.acao = kAcaoTestar;
    ASSERT_TRUE(trabalhador.Inicia());
    ASSERT_TRUE(AguardarLinhas(fila, 3, 5s));
    ASSERT_TRUE(trabalhador.Para());

    const auto linhas = Esvaziar(fila);
    ASSERT_GE(linhas.size(), 7u);
    EXPECT_EQ("TVXNetCfg - v19.1.3", linhas[0].texto);
    EXPECT_EQ("Verificando IP programado...", linhas[1].texto);
    EXPECT_TRUE(linhas[1].fixo);
    for (size_t i = 2; i + 4 < linhas.size(); ++i) {
        EXPECT_NE(std::string::npos, linhas[i].texto.find("Ping recebido de 127.0.0.1"));
    }
    const std::vector<std::string> esperadas{
        "IP programado não respondeu.Verifique:", "1)Se existe ligação física ao equipamento.",
        "2)Se computador está na mesma rede que o equipamento.", "Verificação finalizada."};
    for (size_t i = 0; i < 4; ++i) {
        const LinhaProgresso& l = linhas[linhas.size() - 4 + i];
        EXPECT_EQ(esperadas[i], l.texto);
        EXPECT_TRUE(l.fixo);
    }
}

TEST_F(ExecucaoDoTrabalhador, TesteComRespostaDoIpNovo) {
    Modelo(3);
    equipamento.SetIpNovo("127.0.0.1");
    trabalhador.acao = kAcaoTestar;
    ASSERT_TRUE(trabalhador.Inicia());
    AguardarFim(20s);
    const auto textos = fila.Textos();
    ASSERT_EQ(2u + 35u + 1u, textos.size());
    EXPECT_EQ("Verificando IP programado...", textos[1]);
    EXPECT_TRUE(Casa(textos[36], RespostaDe("127.0.0.1", 2048)));
    EXPECT_EQ("IP programado OK.", textos.back());
}

// ---- inside an isolated namespace: addresses that answer nothing

void DefinirIgnorarEcos(teste::RedeIsolada& rede, bool ignorar) {
    // A per-namespace setting: the host is not affected.
    ASSERT_EQ(0, rede.Executar(std::string("echo ") + (ignorar ? "1" : "0") +
                               " > /proc/sys/net/ipv4/icmp_echo_ignore_all"));
}

TEST(SerieEcoIsolada, EnderecoSemNinguemFalhaPorTempoEsgotado) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.77.0.0/24"));
        cEquipamento equipamento;
        FilaProgresso fila;
        cThreadProgramar trabalhador(equipamento);
        trabalhador.janela = &fila;

        const auto inicio = Relogio::now();
        EXPECT_FALSE(trabalhador.PingarSerie("10.77.0.9", 3, true));
        const auto duracao = Relogio::now() - inicio;
        // The first lost echo ends the counted part: no second echo, no sweep.
        EXPECT_EQ(std::vector<std::string>{"Ping falhou: 11010"}, fila.Textos());
        EXPECT_GE(duracao, 900ms);
        EXPECT_LT(duracao, 2500ms);
    });
}

TEST(SerieEcoIsolada, RemoveAEntradaArpAntesDeQualquerEco) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("10.78.0.1/24", "tvxa"));
        ASSERT_EQ(0, rede.Executar("ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa "
                                   "nud stale"));
        std::string vizinhos;
        ASSERT_EQ(0, rede.Executar("ip -4 neigh show 10.78.0.5", &vizinhos));
        ASSERT_NE(std::string::npos, vizinhos.find("02:00:00:00:00:05")) << vizinhos;

        cEquipamento equipamento;
        FilaProgresso fila;
        cThreadProgramar trabalhador(equipamento);
        trabalhador.janela = &fila;
        EXPECT_TRUE(trabalhador.PingarSerie("10.78.0.5", 0, false));

        vizinhos.clear();
        ASSERT_EQ(0, rede.Executar("ip -4 neigh show 10.78.0.5", &vizinhos));
        EXPECT_EQ(std::string::npos, vizinhos.find("02:00:00:00:00:05")) << vizinhos;
        EXPECT_TRUE(fila.Textos().empty());
    });
}

TEST(SerieEcoIsolada, EcosPerdidosNaVarreduraSaoMostradosEPulados) {
    TVX_EM_REDE_ISOLADA([](teste::RedeIsolada& rede) {
        cEquipamento equipamento;
        FilaProgresso fila;
        SerieNoTrabalhador serie(equipamento, "127.0.0.1", 3, true);
        serie.janela = &fila;
        ASSERT_TRUE(serie.Inicia());

        // Let the counted part and two sizes through, lose two sizes, then
        // answer again.
        ASSERT_TRUE(AguardarLinhas(fila, 5, 10s));
        DefinirIgnorarEcos(rede, true);
        ASSERT_TRUE(AguardarLinhas(fila, 8, 10s));
        DefinirIgnorarEcos(rede, false);
        for (int i = 0; i < 400 && serie.EmExecucao(50); ++i) {
        }
        ASSERT_FALSE(serie.EmExecucao(0));

        EXPECT_EQ(1, serie.resultado.load()) << "lost sweep echoes do not fail the series";
        const auto textos = fila.Textos();
        ASSERT_EQ(35u, textos.size());
        int falhas = 0;
        for (size_t i = 0; i < textos.size(); ++i) {
            if (textos[i] == "Ping falhou: 11010") {
                ++falhas;
                EXPECT_GE(i, 5u);
            } else {
                EXPECT_NE(std::string::npos, textos[i].find("Ping recebido de 127.0.0.1"))
                    << textos[i];
            }
        }
        EXPECT_GE(falhas, 1);
        EXPECT_LE(falhas, 4);
        EXPECT_TRUE(Casa(textos.back(), RespostaDe("127.0.0.1", 2048))) << textos.back();
    });
}

}  // namespace
}  // namespace tvx
