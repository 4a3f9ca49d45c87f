// The wizard's side of the benchmark, offscreen:
//   caixa N     append N lines to the programming page's progress box
//   inicio tvx  the wizard up to its first page painted (cf. "inicio nu")
//   inicio nu   a bare QWizard with four empty pages, the same way
//   bloqueio    the longest event-loop stall while a programming run is
//               active (needs the isolated network of scripts/bench.sh)
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWizard>
#include <QWizardPage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/equipamento_bench.h"
#include "bench/rede_confere.h"
#include "core/equipamento.h"
#include "sim/simulador.h"
#include "ui/aplicacao.h"
#include "ui/dlg_programar.h"
#include "ui_dlg_programar.h"

namespace {

long PicoMemoriaKb() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

long long AgoraRealNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Notes the first paint of a widget, then lets the loop settle and quits.
class PrimeiraPintura : public QObject {
  public:
    bool eventFilter(QObject* alvo, QEvent* evento) override {
        if (evento->type() == QEvent::Paint && quando_ == 0) {
            quando_ = AgoraRealNs();
            QTimer::singleShot(500, qApp, [] { QApplication::quit(); });
        }
        return QObject::eventFilter(alvo, evento);
    }
    long long quando_ = 0;
};

int Caixa(int linhas) {
    tvx::cEquipamento eq;
    tvx::cDlgProgramar pagina(eq);
    pagina.resize(640, 480);
    pagina.show();
    QApplication::processEvents();
    // A run's lines are short, some are long: a mix like a read run's.
    const std::string curta = "Ping recebido de 192.168.0.101 ,Status=0 ,Tempo:1 ms ,Bytes:32";
    const std::string longa =
        "TVX5150S\r\nIP: 192.168.0.101\r\nMask: 255.255.255.0\r\n"
        "Gateway: 0.0.0.0\r\nMAC: 02:B4:6D:00:03:65\r\nRTU: 1\r\n";
    QElapsedTimer total;
    total.start();
    qint64 inicioFinal = 0;
    const int janela = std::min(1000, linhas);
    for (int i = 0; i < linhas; ++i) {
        if (i == linhas - janela) {
            inicioFinal = total.nsecsElapsed();
        }
        pagina.AdicionaLinha(i % 10 == 9 ? longa : curta);
        if (i % 100 == 99) {
            QApplication::processEvents();  // the box repaints between lines, as in a run
        }
    }
    QApplication::processEvents();
    const qint64 ns = total.nsecsElapsed();
    std::printf(
        "caixa linhas=%d total=%.1f ms per-line=%.1f us last-%d per-line=%.1f us "
        "blocks=%d peak-rss=%ld KiB\n",
        linhas, ns / 1e6, ns / 1e3 / linhas, janela, (ns - inicioFinal) / 1e3 / janela,
        pagina.Controles().ctl1028->document()->blockCount(), PicoMemoriaKb());
    return 0;
}

int Inicio(bool tvx) {
    PrimeiraPintura observador;
    std::unique_ptr<QWizard> assistente;
    if (tvx) {
        tvx::cEquipamento& eq = tvx::EquipamentoGlobal();
        eq.Configuracao(false);
        assistente = std::make_unique<tvx::cAssistente>(eq);
    } else {
        assistente = std::make_unique<QWizard>();
        for (int i = 0; i < 4; ++i) {
            assistente->addPage(new QWizardPage);
        }
    }
    assistente->show();
    assistente->currentPage()->installEventFilter(&observador);
    QApplication::exec();
    std::printf("inicio %s shown-at-ns=%lld peak-rss=%ld KiB\n", tvx ? "tvx" : "nu",
                observador.quando_, PicoMemoriaKb());
    return observador.quando_ != 0 ? 0 : 1;
}

int Bloqueio() {
    if (!tvx::bench::ExigirRedeIsolada()) {
        return 2;
    }
    tvx::sim::Simulador sim(3);
    if (!sim.IniciarTcp("0.0.0.0")) {
        return 1;
    }
    tvx::cEquipamento eq;
    tvx::bench::PrepararEquipamento(eq);
    tvx::cAssistente assistente(eq);
    assistente.setStartId(tvx::kPaginaProgramar);
    assistente.show();
    tvx::cDlgProgramar* pagina = assistente.PaginaProgramar();

    std::vector<double> intervalos;
    QElapsedTimer relogio;
    qint64 anterior = -1;
    bool comecou = false;
    QTimer batida;
    batida.setTimerType(Qt::PreciseTimer);
    batida.setInterval(1);
    QObject::connect(&batida, &QTimer::timeout, [&] {
        const bool ativa = pagina->Trabalho().EmExecucao(0);
        const qint64 agora = relogio.nsecsElapsed();
        if (ativa) {
            comecou = true;
            if (anterior >= 0) {
                intervalos.push_back((agora - anterior) / 1e6);
            }
            anterior = agora;
        } else if (comecou) {
            QApplication::quit();
        }
    });
    QTimer::singleShot(200, [&] {
        relogio.start();
        batida.start();
        pagina->Controles().ctl1000->click();
    });
    QTimer::singleShot(60000, [] { QApplication::quit(); });
    QApplication::exec();
    if (intervalos.empty()) {
        std::fprintf(stderr, "no run was seen\n");
        return 1;
    }
    std::sort(intervalos.begin(), intervalos.end());
    const int bloco = pagina->Controles().ctl1028->document()->blockCount();
    std::printf(
        "bloqueio ticks=%zu run=%.1f s median=%.2f ms p99=%.2f ms max=%.2f ms "
        "(timer 1 ms; box blocks=%d)\n",
        intervalos.size(), relogio.nsecsElapsed() / 1e9, intervalos[intervalos.size() / 2],
        intervalos[intervalos.size() * 99 / 100], intervalos.back(), bloco);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication aplicativo(argc, argv);
    const std::string modo = argc > 1 ? argv[1] : "";
    if (modo == "caixa" && argc > 2) {
        return Caixa(std::atoi(argv[2]));
    }
    if (modo == "inicio" && argc > 2) {
        return Inicio(std::strcmp(argv[2], "tvx") == 0);
    }
    if (modo == "bloqueio") {
        return Bloqueio();
    }
    std::fprintf(stderr, "usage: bench_ui caixa N | inicio tvx|nu | bloqueio\n");
    return 2;
}
