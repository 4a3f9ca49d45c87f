// The worker wrapper: start, stop, the stop signal as the run sees it, and the
// end of the object while a run is active.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "core/thread.h"

namespace tvx {
namespace {

using Relogio = std::chrono::steady_clock;
using std::chrono::milliseconds;

long DecorridoMs(Relogio::time_point desde) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Relogio::now() - desde).count());
}

// Waits (bounded) until a flag set by the worker becomes true.
bool AguardarFlag(const std::atomic<bool>& flag, milliseconds limite = milliseconds(5000)) {
    const auto fim = Relogio::now() + limite;
    while (!flag.load()) {
        if (Relogio::now() > fim) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

// A worker whose run is a function given by the test.
class Trabalhador : public cThread {
  public:
    explicit Trabalhador(std::function<uint32_t(Trabalhador&)> trabalho)
        : trabalho_(std::move(trabalho)) {}
    ~Trabalhador() override { Para(); }

    std::atomic<int> execucoes{0};
    std::atomic<bool> comecou{false};
    std::atomic<bool> terminou{false};

  protected:
    uint32_t Executa() override {
        execucoes.fetch_add(1);
        comecou.store(true);
        const uint32_t codigo = trabalho_(*this);
        terminou.store(true);
        return codigo;
    }

  private:
    std::function<uint32_t(Trabalhador&)> trabalho_;
};

// Runs until asked to stop, checking every 10 ms, at most 10 s.
uint32_t AteParar(Trabalhador& t) {
    for (int i = 0; i < 1000; ++i) {
        if (t.DeveParar(10)) {
            return 1;
        }
    }
    return 0;
}

TEST(Thread, IniciaDuranteExecucaoNaoComecaOutra) {
    Trabalhador t(AteParar);
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    EXPECT_TRUE(t.Inicia());
    EXPECT_TRUE(t.EmExecucao(0));
    EXPECT_TRUE(t.Para());
    EXPECT_EQ(t.execucoes.load(), 1);
    EXPECT_TRUE(t.terminou.load());
}

TEST(Thread, ParaSemExecucaoVoltaLogoESemSinalizar) {
    Trabalhador t([](Trabalhador&) { return 0u; });
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());
    // Only the 50 ms look at a thread that is not there.
    EXPECT_LT(DecorridoMs(inicio), 500);
    EXPECT_FALSE(t.DeveParar(0));
    EXPECT_FALSE(t.DeveParar(30));

    // Also after a run that ended by itself.
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.terminou));
    EXPECT_FALSE(t.EmExecucao(2000));
    EXPECT_TRUE(t.Para());
    EXPECT_FALSE(t.DeveParar(0));
}

TEST(Thread, ParadaDuranteEsperaAgeNaProximaVerificacao) {
    // The stop arrives while the run is inside a 1000 ms wait on the signal:
    // the wait ends at once and Para() returns only after Executa() ended.
    std::atomic<bool> viuParada{false};
    std::atomic<long> esperouMs{-1};
    Trabalhador t([&](Trabalhador& eu) {
        const auto inicio = Relogio::now();
        viuParada.store(eu.DeveParar(1000));
        esperouMs.store(DecorridoMs(inicio));
        // Work after the stop was seen still completes before Para() returns.
        std::this_thread::sleep_for(milliseconds(100));
        return 7u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    std::this_thread::sleep_for(milliseconds(100));
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());
    EXPECT_TRUE(t.terminou.load());
    EXPECT_TRUE(viuParada.load());
    EXPECT_GE(DecorridoMs(inicio), 90);
    EXPECT_LT(esperouMs.load(), 900);
    EXPECT_FALSE(t.EmExecucao(0));
}

TEST(Thread, ParadaDuranteTrabalhoVistaNaVerificacaoSeguinte) {
    // The stop arrives during a stretch that does not look at the signal (a
    // device exchange): that stretch runs to its end, the next check is true
    // without waiting, and every later check too.
    std::atomic<long> esperouMs{-1};
    std::atomic<bool> segundaVerificacao{false};
    Trabalhador t([&](Trabalhador& eu) {
        std::this_thread::sleep_for(milliseconds(300));
        const auto inicio = Relogio::now();
        const bool primeira = eu.DeveParar(1000);
        esperouMs.store(DecorridoMs(inicio));
        segundaVerificacao.store(primeira && eu.DeveParar(1000));
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());
    EXPECT_GE(DecorridoMs(inicio), 150);
    EXPECT_TRUE(t.terminou.load());
    EXPECT_GE(esperouMs.load(), 0);
    EXPECT_LT(esperouMs.load(), 200);
    EXPECT_TRUE(segundaVerificacao.load());
}

TEST(Thread, NovaExecucaoDepoisDeParadaNaoComecaParada) {
    std::atomic<int> paradasNaPrimeiraVerificacao{0};
    Trabalhador t([&](Trabalhador& eu) {
        if (eu.DeveParar(0)) {
            paradasNaPrimeiraVerificacao.fetch_add(1);
            return 1u;
        }
        return AteParar(eu);
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    std::this_thread::sleep_for(milliseconds(30));
    ASSERT_TRUE(t.Para());
    ASSERT_TRUE(t.terminou.load());

    t.comecou.store(false);
    t.terminou.store(false);
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(t.EmExecucao(0));
    EXPECT_FALSE(t.terminou.load());
    EXPECT_EQ(paradasNaPrimeiraVerificacao.load(), 0);
    EXPECT_TRUE(t.Para());
    EXPECT_EQ(t.execucoes.load(), 2);
}

TEST(Thread, SinalPendenteSemExecucaoEApagadoPorInicia) {
    // A stop that arrived after the run's last check must not stop the next
    // run at its first check.
    std::atomic<bool> liberar{false};
    std::atomic<int> paradas{0};
    Trabalhador t([&](Trabalhador& eu) {
        if (eu.DeveParar(0)) {
            paradas.fetch_add(1);
        }
        while (!liberar.load()) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    std::thread liberador([&] {
        std::this_thread::sleep_for(milliseconds(100));
        liberar.store(true);
    });
    EXPECT_TRUE(t.Para());
    liberador.join();
    liberar.store(false);
    t.comecou.store(false);
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.comecou));
    liberar.store(true);
    EXPECT_TRUE(t.Para());
    EXPECT_EQ(paradas.load(), 0);
}

TEST(Thread, EmExecucaoEsperaOFimAteOLimite) {
    Trabalhador parado([](Trabalhador&) { return 0u; });
    auto inicio = Relogio::now();
    EXPECT_FALSE(parado.EmExecucao(500));
    EXPECT_LT(DecorridoMs(inicio), 100);

    Trabalhador longo(AteParar);
    ASSERT_TRUE(longo.Inicia());
    inicio = Relogio::now();
    EXPECT_TRUE(longo.EmExecucao(120));
    const long esperou = DecorridoMs(inicio);
    EXPECT_GE(esperou, 115);
    EXPECT_LT(esperou, 1000);
    EXPECT_TRUE(longo.Para());

    // A run that ends during the wait ends the wait.
    Trabalhador curto([](Trabalhador&) {
        std::this_thread::sleep_for(milliseconds(80));
        return 0u;
    });
    ASSERT_TRUE(curto.Inicia());
    inicio = Relogio::now();
    EXPECT_FALSE(curto.EmExecucao(3000));
    EXPECT_LT(DecorridoMs(inicio), 1500);
}

TEST(Thread, DestrutorParaUmaExecucaoAtiva) {
    std::atomic<bool> terminou{false};
    const auto inicio = Relogio::now();
    {
        Trabalhador t([&](Trabalhador& eu) {
            const uint32_t r = AteParar(eu);
            terminou.store(true);
            return r;
        });
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(AguardarFlag(t.comecou));
    }
    EXPECT_TRUE(terminou.load());
    EXPECT_LT(DecorridoMs(inicio), 5000);
}

// A derivation that does not stop the thread in its own destructor: the base
// destructor still stops and collects it. The run only touches the base part
// and objects outside the worker.
class SemParaNoDestrutor : public cThread {
  public:
    explicit SemParaNoDestrutor(std::atomic<bool>& comecou, std::atomic<bool>& terminou)
        : comecou_(comecou), terminou_(terminou) {}

  protected:
    uint32_t Executa() override {
        std::atomic<bool>& comecou = comecou_;
        std::atomic<bool>& terminou = terminou_;
        comecou.store(true);
        for (int i = 0; i < 1000 && !DeveParar(10); ++i) {
        }
        terminou.store(true);
        return 0;
    }

  private:
    std::atomic<bool>& comecou_;
    std::atomic<bool>& terminou_;
};

TEST(Thread, DestrutorDaBaseRecolheAThreadEsquecida) {
    std::atomic<bool> comecou{false};
    std::atomic<bool> terminou{false};
    {
        SemParaNoDestrutor t(comecou, terminou);
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(AguardarFlag(comecou));
    }
    EXPECT_TRUE(terminou.load());
}

TEST(Thread, ExcecaoNoTrabalhoTerminaSoAExecucao) {
    Trabalhador t([](Trabalhador&) -> uint32_t { throw std::runtime_error("falha"); });
    ASSERT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_TRUE(t.Para());
    // And the object can run again.
    EXPECT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_EQ(t.execucoes.load(), 2);
}

TEST(Thread, ParaDentroDoTrabalhoNaoTravaEPedeParada) {
    std::atomic<bool> resultado{true};
    std::atomic<bool> viuParada{false};
    Trabalhador t([&](Trabalhador& eu) {
        resultado.store(eu.Para());
        viuParada.store(eu.DeveParar(0));
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(AguardarFlag(t.terminou));
    EXPECT_FALSE(resultado.load());
    EXPECT_TRUE(viuParada.load());
    EXPECT_TRUE(t.Para());
}

TEST(EventoAutoReset, SinalConsumidoPorUmaEspera) {
    EventoAutoReset evento;
    EXPECT_FALSE(evento.Aguardar(milliseconds(0)));
    evento.Sinalizar();
    evento.Sinalizar();
    EXPECT_TRUE(evento.Aguardar(milliseconds(0)));
    EXPECT_FALSE(evento.Aguardar(milliseconds(20)));
    evento.Sinalizar();
    evento.Limpar();
    EXPECT_FALSE(evento.Aguardar(milliseconds(0)));

    std::thread sinalizador([&] {
        std::this_thread::sleep_for(milliseconds(50));
        evento.Sinalizar();
    });
    const auto inicio = Relogio::now();
    EXPECT_TRUE(evento.Aguardar(milliseconds(5000)));
    EXPECT_LT(DecorridoMs(inicio), 4000);
    sinalizador.join();
}

}  // namespace
}  // namespace tvx
