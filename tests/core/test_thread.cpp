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
using Trabalho = std::function<uint32_t(cThread&)>;

long Desde(Relogio::time_point inicio) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Relogio::now() - inicio).count());
}

// Holds nothing of its own, so that only the base destructor stops the run.
class Trabalhador : public cThread {
  public:
    explicit Trabalhador(const Trabalho& trabalho) : trabalho_(trabalho) {}

  protected:
    uint32_t Executa() override {
        const Trabalho& trabalho = trabalho_;
        return trabalho(*this);
    }

  private:
    const Trabalho& trabalho_;
};

bool Aguardar(const std::atomic<int>& valor, int esperado) {
    for (int i = 0; i < 5000 && valor != esperado; ++i) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    return valor == esperado;
}

TEST(Thread, UmaExecucaoSoEParadaNaEsperaOuDepoisDoTrabalho) {
    // A wait ends at once; a stretch that does not look at the signal runs to
    // its end, then every check is true without waiting. Para() returns only
    // after Executa() ended.
    for (int dormirAntes : {0, 300}) {
        std::atomic<int> fase{0};
        std::atomic<long> esperou{-1};
        const Trabalho trabalho = [&](cThread& eu) {
            ++fase;
            std::this_thread::sleep_for(milliseconds(dormirAntes));
            const auto inicio = Relogio::now();
            esperou = eu.DeveParar(1000) && eu.DeveParar(1000) ? Desde(inicio) : 9999;
            std::this_thread::sleep_for(milliseconds(100));
            fase = 10;
            return 0u;
        };
        Trabalhador t(trabalho);
        EXPECT_TRUE(t.Para());  // nothing running: no signal left behind
        ASSERT_TRUE(t.Inicia());
        ASSERT_TRUE(Aguardar(fase, 1));
        EXPECT_TRUE(t.Inicia());  // already running: no second run
        EXPECT_TRUE(t.EmExecucao(50));
        const auto inicio = Relogio::now();
        EXPECT_TRUE(t.Para());
        EXPECT_GE(Desde(inicio), 90);
        EXPECT_EQ(fase.load(), 10);
        EXPECT_LT(esperou.load(), 900);
        EXPECT_FALSE(t.EmExecucao(0));
    }
}

TEST(Thread, NovaExecucaoNaoComecaParadaEDestrutorPara) {
    // The stop the run sees first arrived after the previous run's last check.
    std::atomic<int> fase{0};
    std::atomic<int> paradasNoInicio{0};
    const Trabalho trabalho = [&](cThread& eu) {
        paradasNoInicio += eu.DeveParar(0);
        fase = 1;
        for (int i = 0; i < 1000 && !eu.DeveParar(10); ++i) {
        }
        fase = 2;
        return 0u;
    };
    {
        Trabalhador t(trabalho);
        for (int rodada = 0; rodada < 3; ++rodada) {
            fase = 0;
            ASSERT_TRUE(t.Inicia());
            ASSERT_TRUE(Aguardar(fase, 1));
            EXPECT_TRUE(rodada == 2 || t.Para());
        }
    }
    EXPECT_EQ(fase.load(), 2);
    EXPECT_EQ(paradasNoInicio.load(), 0);
}

TEST(Thread, ExcecaoOuParaDentroDoTrabalho) {
    // An exception ends the run, not the program. The worker cannot wait for
    // itself: false, but the request stands.
    std::atomic<bool> resultado{true};
    std::atomic<bool> viu{false};
    const Trabalho trabalho = [&](cThread& eu) -> uint32_t {
        resultado = eu.Para();
        viu = eu.DeveParar(0);
        throw std::runtime_error("falha");
    };
    Trabalhador t(trabalho);
    ASSERT_TRUE(t.Inicia());
    EXPECT_FALSE(t.EmExecucao(3000));
    EXPECT_FALSE(resultado.load());
    EXPECT_TRUE(viu.load());
}

TEST(EventoAutoReset, UmSinalAcordaUmaEspera) {
    EventoAutoReset evento;
    evento.Sinalizar();
    evento.Sinalizar();
    EXPECT_TRUE(evento.Aguardar(milliseconds(0)));
    EXPECT_FALSE(evento.Aguardar(milliseconds(20)));
    std::thread sinalizador([&] {
        std::this_thread::sleep_for(milliseconds(50));
        evento.Sinalizar();
    });
    EXPECT_TRUE(evento.Aguardar(milliseconds(5000)));
    sinalizador.join();
}

}  // namespace
}  // namespace tvx
