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

long Desde(Relogio::time_point inicio) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Relogio::now() - inicio).count());
}

bool Aguardar(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag.load(); ++i) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    return flag.load();
}

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
        terminou.store(false);
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
    ASSERT_TRUE(Aguardar(t.comecou));
    EXPECT_TRUE(t.Inicia());
    EXPECT_TRUE(t.Para());
    EXPECT_EQ(t.execucoes.load(), 1);
    EXPECT_TRUE(t.terminou.load());
}

TEST(Thread, ParaSemExecucaoVoltaLogoESemSinalizar) {
    Trabalhador t([](Trabalhador&) { return 0u; });
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());
    EXPECT_LT(Desde(inicio), 500);
    EXPECT_FALSE(t.DeveParar(0));

    // Nor after a run that ended by itself.
    ASSERT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_TRUE(t.Para());
    EXPECT_FALSE(t.DeveParar(20));
}

TEST(Thread, ParadaDuranteEsperaDe1000ms) {
    // The wait ends at once; Para() returns only after Executa() ended, work
    // after the check included.
    std::atomic<bool> viu{false};
    std::atomic<long> esperou{-1};
    Trabalhador t([&](Trabalhador& eu) {
        const auto inicio = Relogio::now();
        viu.store(eu.DeveParar(1000));
        esperou.store(Desde(inicio));
        std::this_thread::sleep_for(milliseconds(100));
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(Aguardar(t.comecou));
    std::this_thread::sleep_for(milliseconds(100));
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());
    EXPECT_GE(Desde(inicio), 90);
    EXPECT_TRUE(t.terminou.load());
    EXPECT_TRUE(viu.load());
    EXPECT_LT(esperou.load(), 900);
}

TEST(Thread, ParadaDuranteTrabalhoVistaNaProximaVerificacao) {
    // A stretch that does not look at the signal (a device exchange) runs to
    // its end; then every check is true without waiting.
    std::atomic<long> esperou{-1};
    std::atomic<bool> duas{false};
    Trabalhador t([&](Trabalhador& eu) {
        std::this_thread::sleep_for(milliseconds(300));
        const auto inicio = Relogio::now();
        const bool primeira = eu.DeveParar(1000);
        duas.store(primeira && eu.DeveParar(1000));
        esperou.store(Desde(inicio));
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(Aguardar(t.comecou));
    EXPECT_TRUE(t.Para());
    EXPECT_TRUE(t.terminou.load());
    EXPECT_TRUE(duas.load());
    EXPECT_LT(esperou.load(), 200);
}

TEST(Thread, NovaExecucaoDepoisDeParadaNaoComecaParada) {
    // The second stop arrives after the run's last check and leaves the
    // signal pending: the next start clears it.
    std::atomic<int> paradasNoInicio{0};
    std::atomic<bool> ignorar{false};
    Trabalhador t([&](Trabalhador& eu) {
        if (eu.DeveParar(0)) {
            paradasNoInicio.fetch_add(1);
        }
        if (ignorar.load()) {
            std::this_thread::sleep_for(milliseconds(100));
            return 0u;
        }
        return AteParar(eu);
    });
    for (int rodada = 0; rodada < 3; ++rodada) {
        ignorar.store(rodada == 1);
        t.comecou.store(false);
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(Aguardar(t.comecou));
        std::this_thread::sleep_for(milliseconds(30));
        EXPECT_TRUE(t.Para());
    }
    EXPECT_EQ(t.execucoes.load(), 3);
    EXPECT_EQ(paradasNoInicio.load(), 0);
}

TEST(Thread, EmExecucaoEsperaOFimAteOLimite) {
    Trabalhador longo(AteParar);
    ASSERT_TRUE(longo.Inicia());
    auto inicio = Relogio::now();
    EXPECT_TRUE(longo.EmExecucao(120));
    EXPECT_GE(Desde(inicio), 115);
    EXPECT_TRUE(longo.Para());
    EXPECT_FALSE(longo.EmExecucao(0));

    Trabalhador curto([](Trabalhador&) {
        std::this_thread::sleep_for(milliseconds(80));
        return 0u;
    });
    ASSERT_TRUE(curto.Inicia());
    inicio = Relogio::now();
    EXPECT_FALSE(curto.EmExecucao(3000));
    EXPECT_LT(Desde(inicio), 1500);
}

// Does not stop the thread in its own destructor: the base destructor still
// does. The run touches only the base part and objects outside the worker.
class SemParaNoDestrutor : public cThread {
  public:
    SemParaNoDestrutor(std::atomic<bool>& comecou, std::atomic<bool>& terminou)
        : comecou_(comecou), terminou_(terminou) {}

  protected:
    uint32_t Executa() override {
        std::atomic<bool>& terminou = terminou_;
        comecou_.store(true);
        for (int i = 0; i < 1000 && !DeveParar(10); ++i) {
        }
        terminou.store(true);
        return 0;
    }

  private:
    std::atomic<bool>& comecou_;
    std::atomic<bool>& terminou_;
};

TEST(Thread, DestrutorParaUmaExecucaoAtiva) {
    std::atomic<bool> terminou{false};
    {
        Trabalhador t([&](Trabalhador& eu) {
            const uint32_t r = AteParar(eu);
            terminou.store(true);
            return r;
        });
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(Aguardar(t.comecou));
    }
    EXPECT_TRUE(terminou.load());

    std::atomic<bool> comecou{false};
    terminou.store(false);
    {
        SemParaNoDestrutor t(comecou, terminou);
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(Aguardar(comecou));
    }
    EXPECT_TRUE(terminou.load());
}

TEST(Thread, ExcecaoOuParaDentroDoTrabalho) {
    // An exception ends the run, not the program.
    Trabalhador falha([](Trabalhador&) -> uint32_t { throw std::runtime_error("falha"); });
    ASSERT_TRUE(falha.Inicia());
    EXPECT_FALSE(falha.EmExecucao(3000));
    EXPECT_TRUE(falha.Inicia());
    EXPECT_FALSE(falha.EmExecucao(3000));
    EXPECT_EQ(falha.execucoes.load(), 2);

    // The worker cannot wait for itself: false, but the request stands.
    std::atomic<bool> resultado{true};
    std::atomic<bool> viu{false};
    Trabalhador t([&](Trabalhador& eu) {
        resultado.store(eu.Para());
        viu.store(eu.DeveParar(0));
        return 0u;
    });
    ASSERT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_FALSE(resultado.load());
    EXPECT_TRUE(viu.load());
}

TEST(EventoAutoReset, UmSinalAcordaUmaEspera) {
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
    EXPECT_LT(Desde(inicio), 4000);
    sinalizador.join();
}

}  // namespace
}  // namespace tvx
