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

class Trabalhador : public cThread {
  public:
    explicit Trabalhador(std::function<uint32_t(Trabalhador&)> trabalho)
        : trabalho_(std::move(trabalho)) {}
    ~Trabalhador() override { Para(); }

    bool AguardarComeco() {
        for (int i = 0; i < 5000 && !comecou; ++i) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return comecou;
    }
    std::atomic<int> execucoes{0};
    std::atomic<bool> comecou{false};
    std::atomic<bool> terminou{false};

  protected:
    uint32_t Executa() override {
        terminou = false;
        ++execucoes;
        comecou = true;
        const uint32_t codigo = trabalho_(*this);
        terminou = true;
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

TEST(Thread, IniciaEParaUmaExecucaoSo) {
    Trabalhador t(AteParar);
    const auto inicio = Relogio::now();
    EXPECT_TRUE(t.Para());  // nothing running: at once, and no signal left behind
    EXPECT_LT(Desde(inicio), 500);
    EXPECT_FALSE(t.DeveParar(0));
    ASSERT_TRUE(t.Inicia());
    ASSERT_TRUE(t.AguardarComeco());
    EXPECT_TRUE(t.Inicia());  // already running: no second run
    EXPECT_TRUE(t.EmExecucao(120));
    EXPECT_TRUE(t.Para());
    EXPECT_EQ(t.execucoes.load(), 1);
    EXPECT_TRUE(t.terminou.load());
    EXPECT_FALSE(t.EmExecucao(0));
}

TEST(Thread, ParadaDuranteEsperaOuDuranteTrabalho) {
    // A wait ends at once; a stretch that does not look at the signal runs to
    // its end, then every check is true without waiting. Para() returns only
    // after Executa() ended.
    std::atomic<long> esperou{-1};
    std::atomic<bool> viu{false};
    for (int dormirAntes : {0, 300}) {
        Trabalhador t([&](Trabalhador& eu) {
            std::this_thread::sleep_for(milliseconds(dormirAntes));
            const auto inicio = Relogio::now();
            viu = eu.DeveParar(1000) && eu.DeveParar(1000);
            esperou = Desde(inicio);
            std::this_thread::sleep_for(milliseconds(100));
            return 0u;
        });
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(t.AguardarComeco());
        std::this_thread::sleep_for(milliseconds(100));
        const auto inicio = Relogio::now();
        EXPECT_TRUE(t.Para());
        EXPECT_GE(Desde(inicio), 90);
        EXPECT_TRUE(t.terminou.load());
        EXPECT_TRUE(viu.load());
        EXPECT_LT(esperou.load(), 900);
    }
}

TEST(Thread, NovaExecucaoDepoisDeParadaNaoComecaParada) {
    // The second stop arrives after the run's last check and leaves the
    // signal pending: the next start clears it.
    std::atomic<int> paradasNoInicio{0};
    std::atomic<bool> ignorar{false};
    Trabalhador t([&](Trabalhador& eu) {
        paradasNoInicio += eu.DeveParar(0);
        if (ignorar) {
            std::this_thread::sleep_for(milliseconds(100));
            return 0u;
        }
        return AteParar(eu);
    });
    for (int rodada = 0; rodada < 3; ++rodada) {
        ignorar = rodada == 1;
        t.comecou = false;
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(t.AguardarComeco());
        std::this_thread::sleep_for(milliseconds(30));
        EXPECT_TRUE(t.Para());
    }
    EXPECT_EQ(t.execucoes.load(), 3);
    EXPECT_EQ(paradasNoInicio.load(), 0);
}

// Does not stop the thread in its own destructor: the base destructor still
// does. The run touches only the base part and objects outside the worker.
class SemParaNoDestrutor : public cThread {
  public:
    explicit SemParaNoDestrutor(std::atomic<int>& fase) : fase_(fase) {}

  protected:
    uint32_t Executa() override {
        std::atomic<int>& fase = fase_;
        fase = 1;
        for (int i = 0; i < 1000 && !DeveParar(10); ++i) {
        }
        fase = 2;
        return 0;
    }

  private:
    std::atomic<int>& fase_;
};

TEST(Thread, DestrutorParaUmaExecucaoAtiva) {
    std::atomic<int> fase{0};
    {
        SemParaNoDestrutor t(fase);
        ASSERT_TRUE(t.Inicia());
        for (int i = 0; i < 5000 && fase == 0; ++i) {
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
    EXPECT_EQ(fase.load(), 2);
}

TEST(Thread, ExcecaoOuParaDentroDoTrabalho) {
    // An exception ends the run, not the program.
    Trabalhador falha([](Trabalhador&) -> uint32_t { throw std::runtime_error("falha"); });
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(falha.Inicia());
        EXPECT_FALSE(falha.EmExecucao(3000));
    }
    EXPECT_EQ(falha.execucoes.load(), 2);

    // The worker cannot wait for itself: false, but the request stands.
    std::atomic<bool> resultado{true};
    std::atomic<bool> viu{false};
    Trabalhador t([&](Trabalhador& eu) {
        resultado = eu.Para();
        viu = eu.DeveParar(0);
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
