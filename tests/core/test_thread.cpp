// The worker wrapper: what the runs do not show (a stop left pending for the
// next run, the end of the object while a run is active, an exception or a
// stop from inside the run); the runs themselves start and stop it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "core/thread.h"

namespace tvx {
namespace {

using std::chrono::milliseconds;
using Trabalho = std::function<uint32_t(cThread&)>;

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

TEST(Thread, NovaExecucaoNaoComecaParadaEDestrutorPara) {
    // The stop the run sees first arrived after the previous run's last check.
    std::atomic<int> fase{0};
    std::atomic<int> inicios{0};
    const Trabalho trabalho = [&](cThread& eu) {
        inicios += eu.DeveParar(0) ? 1 : 100;  // 1 for a run that starts stopped
        fase = 1;
        for (int i = 0; i < 1000 && !eu.DeveParar(10); ++i) {
        }
        fase = 2;
        return 0u;
    };
    {
        Trabalhador t(trabalho);
        EXPECT_TRUE(t.Para());  // nothing running: no signal left behind
        for (int rodada = 0; rodada < 3; ++rodada) {
            fase = 0;
            ASSERT_TRUE(t.Inicia());
            ASSERT_TRUE(Aguardar(fase, 1));
            EXPECT_TRUE(t.Inicia());  // already running: no second run
            EXPECT_TRUE(rodada == 2 || t.Para());
        }
    }
    EXPECT_EQ(fase.load(), 2);
    EXPECT_EQ(inicios.load(), 300);  // three runs, none stopped at its start
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

}  // namespace
}  // namespace tvx
