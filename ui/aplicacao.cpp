#include "ui/aplicacao.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <iostream>
#include <memory>
#include <string>

#include "core/preparacao_rede.h"
#include "core/thread_programar.h"
#include "paginas/arquivo_configuracao.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui/dlg_programar.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"

namespace tvx {

namespace {

constexpr int kSinaisDeParada[] = {SIGTERM, SIGINT, SIGHUP};
int gTuboSinais[2] = {-1, -1};

void AoSinal(int sinal) {
    const char c = static_cast<char>(sinal);
    [[maybe_unused]] const ssize_t n = write(gTuboSinais[1], &c, 1);
}

// Where nobody may see a box any more (the program is ending), the error
// output still says it.
void Avisar(const std::string& texto) {
    if (!texto.empty()) {
        std::cerr << "tvxnetcfg: " << texto << '\n';
        MostrarMensagem(nullptr, IconeMensagem::Informacao, QString::fromStdString(texto));
    }
}

}  // namespace

cAssistente::cAssistente(cEquipamento& equipamento, const LocaisArquivos& locais, QWidget* parent)
    : QWizard(parent),
      modelo_(new cDlgModelo(equipamento, this)),
      meio_(new cDlgMeioComunicacao(equipamento, this)),
      parametros_(new cDlgIpMsGw(equipamento, this)),
      programar_(new cDlgProgramar(equipamento, this)) {
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::HaveHelpButton, false);
    setButtonText(QWizard::BackButton, QStringLiteral("< &Voltar"));
    setButtonText(QWizard::NextButton, QStringLiteral("&Avançar >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("&Concluir"));
    setButtonText(QWizard::CancelButton, QStringLiteral("Cancelar"));
    setWindowIcon(QIcon(QStringLiteral(":/tvxnetcfg/tvxnetcfg.png")));
    setWindowTitle(QString::fromUtf8(kTituloAssistente));
    setPage(kPaginaModelo, modelo_);
    setPage(kPaginaMeio, meio_);
    setPage(kPaginaParametros, parametros_);
    setPage(kPaginaProgramar, programar_);
    setStartId(kPaginaModelo);
    modelo_->DefinirPastaConfiguracao(locais.pastaConfiguracao);
    programar_->DefinirArquivoLog(locais.log);
    connect(this, &QWizard::currentIdChanged, this, [this](int id) { AoAtivarPagina(id); });
}

cAssistente::~cAssistente() {
    programar_->Trabalho().Para();
    std::string texto;
    if (!RemoverEnderecoTemporario(texto)) {
        Avisar(texto);
    }
}

void cAssistente::AoAtivarPagina(int id) {
    auto* pagina = qobject_cast<cPaginaAssistente*>(page(id));
    if (pagina == nullptr) {
        return;
    }
    // The active page's own title stands in the window's title bar.
    setWindowTitle(pagina->TituloPagina());
    pagina->OnSetActive();
}

bool cAplicacao::InitInstance() {
    std::string sobras;
    for (const std::string& texto : RemoverSobras()) {
        sobras += (sobras.empty() ? "" : "\n\n") + texto;
    }
    Avisar(sobras);

    // The handler only writes the signal's number into a pipe; the event
    // loop reads it. The address goes first, then every loop ends (a box
    // that is open included) and the wizard closes; a second signal finds
    // the default action again and ends the program at once.
    std::unique_ptr<QSocketNotifier> aviso;
    if (pipe2(gTuboSinais, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction acao {};
        acao.sa_handler = AoSinal;
        sigemptyset(&acao.sa_mask);
        acao.sa_flags = SA_RESTART;
        for (int sinal : kSinaisDeParada) {
            sigaction(sinal, &acao, nullptr);
        }
        aviso = std::make_unique<QSocketNotifier>(gTuboSinais[0], QSocketNotifier::Read);
        QObject::connect(aviso.get(), &QSocketNotifier::activated, [] {
            for (int sinal : kSinaisDeParada) {
                signal(sinal, SIG_DFL);
            }
            std::string texto;
            RemoverEnderecoTemporario(texto);
            if (!texto.empty()) {
                std::cerr << "tvxnetcfg: " << texto << '\n';
            }
            QCoreApplication::exit(1);
        });
    }

    cEquipamento& equipamento = EquipamentoGlobal();
    // No window yet: the box stands on its own before the wizard opens.
    cAvisosQt avisos(nullptr);
    const LocaisArquivos locais = IniciarArquivos(equipamento, avisos);
    cAssistente assistente(equipamento, locais);
    assistente.exec();
    return false;
}

}  // namespace tvx
