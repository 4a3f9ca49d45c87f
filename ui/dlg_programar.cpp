#include "ui/dlg_programar.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTextCursor>
#include <QWizard>

#include "core/preparacao_rede.h"
#include "paginas/arquivo_configuracao.h"
#include "ui/preparar_rede.h"
#include "ui_dlg_programar.h"

namespace tvx {

namespace {

constexpr int kIntervaloAcompanhamentoMs = 100;

}  // namespace

cDlgProgramar::cDlgProgramar(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaProgramar), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgProgramar>()),
      avisos_(this),
      receptor_(this),
      trabalho_(equipamento) {
    ui_->setupUi(this);
    log_.DefinirArquivo(kArquivoLogProgresso);
    // The box only ever grows; an undo history of every line would too.
    ui_->ctl1028->setUndoRedoEnabled(false);

    connect(ui_->ctl1000, &QPushButton::clicked, this, [this] {
        // A run in progress is not stopped: Inicia starts nothing then.
        Iniciar(kAcaoProgramar);
    });
    connect(ui_->ctl1001, &QPushButton::clicked, this, [this] {
        trabalho_.Para();
        Iniciar(kAcaoTestar);
    });
    connect(ui_->ctl1002, &QPushButton::clicked, this, [this] {
        trabalho_.Para();
        Iniciar(kAcaoLer);
    });
    connect(ui_->ctl1003, &QPushButton::clicked, this, [this] { Parar(); });
    connect(ui_->ctl1004, &QPushButton::clicked, this, [this] { Limpar(); });
    // The hidden network tools (1035 to 1038) are connected to nothing: they
    // switched the whole computer's firewall and address configuration
    // through the shell. PrepararRede does the one safe part of that.

    acompanhamento_.setInterval(kIntervaloAcompanhamentoMs);
    connect(&acompanhamento_, &QTimer::timeout, this, [this] { Acompanhar(); });
}

cDlgProgramar::~cDlgProgramar() {
    acompanhamento_.stop();
    trabalho_.Para();
    receptor_.Desligar();
    // The equipment object outlives the page: it must not keep pointing here.
    if (equipamento_.janelaProgresso == &receptor_) {
        equipamento_.janelaProgresso = nullptr;
    }
}

void cDlgProgramar::Iniciar(uint32_t acao) {
    // A click during a run starts nothing, so it asks nothing either.
    if (!trabalho_.EmExecucao(0)) {
        PrepararRede(acao);
    }
    trabalho_.janela = &receptor_;
    trabalho_.acao = acao;
    trabalho_.Inicia();
    Acompanhar();
}

void cDlgProgramar::PrepararRede(uint32_t acao) {
    PrepararRedeComPergunta(this, acao, equipamento_);
}

void cDlgProgramar::Parar() {
    AdicionaLinha(kLinhaFinalizando);
    trabalho_.Para();
    AdicionaLinha(kLinhaFinalizadas);
    Acompanhar();
}

void cDlgProgramar::Limpar() {
    // Only the box: the log keeps every line.
    ui_->ctl1028->clear();
}

void cDlgProgramar::Acompanhar() {
    ativa_ = trabalho_.EmExecucao(0);
    if (ativa_) {
        acompanhamento_.start();
    } else {
        acompanhamento_.stop();
    }
    AtualizarVoltar();
}

void cDlgProgramar::AtualizarVoltar() {
    // Back stays off while a run reads the equipment object, so that no
    // earlier page can change it under the run.
    QWizard* assistente = wizard();
    if (assistente != nullptr && assistente->currentPage() == this) {
        assistente->button(QWizard::BackButton)->setEnabled(!ativa_);
    }
}

void cDlgProgramar::OnSetActive() {
    AtualizarVoltar();
}

bool cDlgProgramar::validatePage() {
    if (trabalho_.programado == 0) {
        Iniciar(kAcaoProgramar);
        return false;
    }
    return avisos_.Perguntar(kPerguntaEncerrar);
}

bool cDlgProgramar::event(QEvent* evento) {
    if (evento->type() == cEventoProgresso::Tipo()) {
        const auto* progresso = static_cast<cEventoProgresso*>(evento);
        IncluirProcesso(progresso->mensagem, progresso->linha);
        return true;
    }
    return cPaginaAssistente::event(evento);
}

void cDlgProgramar::IncluirProcesso(uint32_t mensagem, const LinhaProgresso& linha) {
    if (mensagem != MensagemIncluirProcesso()) {
        return;
    }
    AdicionaLinha(linha.texto);
    // A link that could not be opened says why beside the run's own line
    // (the box keeps the run's lines as they are).
    if (const std::string motivo = trabalho_.RetirarMotivoFalha(linha.texto); !motivo.empty()) {
        avisos_.Mostrar(TipoAviso::Erro, linha.texto + "\n\n" + motivo);
    }
}

void cDlgProgramar::AdicionaLinha(const std::string& texto) {
    QPlainTextEdit* caixa = ui_->ctl1028;
    QTextCursor cursor = caixa->textCursor();
    cursor.movePosition(QTextCursor::End);
    caixa->setTextCursor(cursor);
    caixa->ensureCursorVisible();
    cursor.insertText(QStringLiteral("\n"));
    QString linha = QString::fromStdString(texto);
    // The box breaks a line at CR LF only; a lone CR, which the box would
    // take for a break too, is left out.
    linha.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    linha.remove(QLatin1Char('\r'));
    cursor.movePosition(QTextCursor::End);
    caixa->setTextCursor(cursor);
    caixa->ensureCursorVisible();
    cursor.insertText(linha);
    caixa->setTextCursor(cursor);
    caixa->ensureCursorVisible();
    // The new line is the last one: the box shows its bottom, whole.
    caixa->verticalScrollBar()->setValue(caixa->verticalScrollBar()->maximum());
    const os::ResultadoArquivo escrito = log_.Escrever(texto);
    if (!escrito.Ok() && !falhaLogDita_) {
        // Once: the box would otherwise fill with the same notice, and the
        // run goes on whatever the log does. Set first, as the box lets
        // further lines arrive while it is open.
        falhaLogDita_ = true;
        const std::string arquivo =
            QFileInfo(QFile::decodeName(QByteArray::fromStdString(log_.Arquivo())))
                .absoluteFilePath()
                .toStdString();
        avisos_.Mostrar(TipoAviso::Erro,
                        ComoFrase(TextoFalhaLog(arquivo, escrito)) + "\n" + kLinhasSoNaTela);
    }
}

}  // namespace tvx
