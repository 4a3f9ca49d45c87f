#include "ui/dlg_plano.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

#include "plano/relatorio.h"
#include "ui/preparar_rede.h"

namespace tvx {

namespace {

constexpr int kIntervaloAcompanhamentoMs = 50;
constexpr size_t kErrosNaCaixa = 20;

enum Coluna { kNumero, kLinha, kModelo, kNovoIp, kConexao, kEstado, kResultado, kColunas };

QString Q(const std::string& texto) {
    return QString::fromStdString(texto);
}

QPushButton* Botao(const char* texto, QHBoxLayout* fila) {
    auto* botao = new QPushButton(QString::fromUtf8(texto));
    // Enter answers the question ("Enter continua"), whatever button has the focus.
    botao->setAutoDefault(false);
    fila->addWidget(botao);
    return botao;
}

// What a device's row shows beside its state.
std::string Resultado(const plano::ResultadoDispositivo& r) {
    if (r.estado == plano::EstadoLinha::Feito && !r.ipLido.empty()) {
        return "lido: " + r.ipLido + " " + r.mascaraLida + " " + r.gatewayLido;
    }
    return r.ultimaLinha;
}

}  // namespace

cDlgPlano::cDlgPlano(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kTituloPlano));
    auto* layout = new QVBoxLayout(this);
    arquivo_ = new QLabel;
    arquivo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(arquivo_);

    tabela_ = new QTableWidget(0, kColunas);
    tabela_->setHorizontalHeaderLabels(
        {"Nº", "Linha", "Modelo", "Novo IP", "Conexão", "Estado", QString::fromUtf8("Resultado")});
    tabela_->verticalHeader()->hide();
    tabela_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabela_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabela_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabela_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tabela_, 2);

    pergunta_ = new QLabel;
    pergunta_->setWordWrap(true);
    QFont negrito = pergunta_->font();
    negrito.setBold(true);
    pergunta_->setFont(negrito);
    layout->addWidget(pergunta_);

    auto* fila = new QHBoxLayout;
    continuar_ = Botao("&Iniciar", fila);
    continuar_->setDefault(true);
    pular_ = Botao("&Pular", fila);
    repetir_ = Botao("&Repetir", fila);
    parar_ = Botao("P&arar", fila);
    fila->addStretch();
    relatorio_ = Botao("Relat&ório", fila);
    layout->addLayout(fila);

    caixa_ = new QPlainTextEdit;
    caixa_->setReadOnly(true);
    caixa_->setUndoRedoEnabled(false);
    layout->addWidget(caixa_, 3);

    connect(continuar_, &QPushButton::clicked, this, [this] { Continuar(); });
    connect(pular_, &QPushButton::clicked, this, [this] { Pular(); });
    connect(repetir_, &QPushButton::clicked, this, [this] { Repetir(); });
    connect(parar_, &QPushButton::clicked, this, [this] { Parar(); });
    connect(relatorio_, &QPushButton::clicked, this, [this] { Relatorio(); });
    connect(tabela_, &QTableWidget::itemSelectionChanged, this, [this] { Atualizar(); });
    // The keys the question names.
    const std::pair<Qt::Key, QPushButton*> teclas[] = {
        {Qt::Key_P, pular_}, {Qt::Key_Q, parar_}, {Qt::Key_R, repetir_}};
    for (const auto& [tecla, botao] : teclas) {
        connect(new QShortcut(QKeySequence(tecla), this), &QShortcut::activated, botao,
                &QPushButton::animateClick);
    }
    acompanhamento_.setInterval(kIntervaloAcompanhamentoMs);
    connect(&acompanhamento_, &QTimer::timeout, this, [this] { Acompanhar(); });
    resize(820, 640);
    Atualizar();
}

cDlgPlano::~cDlgPlano() {
    acompanhamento_.stop();
    execucao_.reset();
}

bool cDlgPlano::AbrirPlano(const std::string& caminho) {
    plano::Plano dados;
    std::vector<std::string> erros;
    if (!plano::LerPlano(caminho, dados, erros)) {
        QString texto = QString::fromUtf8("O plano não pode ser usado:\n") + Q(caminho);
        for (size_t i = 0; i < erros.size() && i < kErrosNaCaixa; ++i) {
            texto += "\n" + Q(erros[i]);
        }
        if (erros.size() > kErrosNaCaixa) {
            texto += "\n...";
        }
        MostrarMensagem(this, IconeMensagem::Erro, texto);
        return false;
    }
    QString avisos;
    for (const plano::Dispositivo& d : dados.dispositivos) {
        for (const std::string& aviso : d.avisos) {
            avisos += "\n" + Q(aviso);
        }
    }
    execucao_ = std::make_unique<plano::cExecucaoPlano>(std::move(dados), std::string(), *this);
    const plano::Plano& p = execucao_->Dados();
    tabela_->setRowCount(static_cast<int>(p.dispositivos.size()));
    for (size_t i = 0; i < p.dispositivos.size(); ++i) {
        const plano::Dispositivo& d = p.dispositivos[i];
        const std::string celulas[] = {std::to_string(d.numero),
                                       std::to_string(d.linha),
                                       d.nomeModelo,
                                       d.programaIp ? d.ipNovo : "",
                                       d.conexao,
                                       "",
                                       ""};
        for (int c = 0; c < kColunas; ++c) {
            tabela_->setItem(static_cast<int>(i), c, new QTableWidgetItem(Q(celulas[c])));
        }
    }
    std::string erro;
    if (!execucao_->Abrir(erro)) {
        execucao_.reset();
        tabela_->setRowCount(0);
        Atualizar();
        MostrarMensagem(this, IconeMensagem::Erro, Q(caminho + ": " + erro));
        return false;
    }
    if (!avisos.isEmpty()) {
        MostrarMensagem(this, IconeMensagem::Informacao, Q(caminho) + avisos);
    }
    arquivo_->setText(Q(caminho + " — estado em " + execucao_->ArquivoEstado() +
                        "; relatório e logs em " + execucao_->PastaRelatorio()));
    tabela_->resizeColumnsToContents();
    Mudou();
    return true;
}

void cDlgPlano::Linha(size_t, const std::string& texto) {
    QTextCursor cursor = caixa_->textCursor();
    cursor.movePosition(QTextCursor::End);
    QString linha = Q(texto);
    linha.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText("\n" + linha);
    caixa_->verticalScrollBar()->setValue(caixa_->verticalScrollBar()->maximum());
}

void cDlgPlano::AntesDoEquipamento(size_t, const cEquipamento& equipamento, uint32_t acao) {
    PrepararRedeComPergunta(this, acao, equipamento);
}

void cDlgPlano::Aviso(const std::string& texto) {
    MostrarMensagem(this, IconeMensagem::Erro, Q(texto));
}

void cDlgPlano::Mudou() {
    if (execucao_ && execucao_->FaseAtual() == plano::Fase::Execucao) {
        if (!acompanhamento_.isActive()) {
            caixa_->clear();
            acompanhamento_.start();
        }
    } else {
        acompanhamento_.stop();
    }
    if (execucao_ && execucao_->Atual()) {
        tabela_->selectRow(static_cast<int>(*execucao_->Atual()));
    }
    Atualizar();
}

void cDlgPlano::Atualizar() {
    const bool aberto = execucao_ != nullptr;
    const plano::Fase fase = aberto ? execucao_->FaseAtual() : plano::Fase::Fim;
    if (aberto) {
        const plano::EstadoPlano& estado = execucao_->Estado();
        for (size_t i = 0; i < estado.resultados.size(); ++i) {
            const plano::ResultadoDispositivo& r = estado.resultados[i];
            const int l = static_cast<int>(i);
            tabela_->item(l, kEstado)->setText(QString::fromUtf8(plano::TextoEstado(r.estado)));
            tabela_->item(l, kResultado)->setText(Q(Resultado(r)));
        }
        pergunta_->setText(Q(execucao_->Pergunta()));
    }
    const bool oferta = fase == plano::Fase::Oferta;
    const bool decisao = fase == plano::Fase::Decisao;
    const bool executando = fase == plano::Fase::Execucao;
    continuar_->setText(QString::fromUtf8(comecou_ ? "&Continuar" : "&Iniciar"));
    continuar_->setEnabled(oferta && !execucao_->ExigeRepetir());
    pular_->setEnabled(oferta || decisao);
    repetir_->setEnabled(aberto && !executando && !tabela_->selectedItems().isEmpty());
    parar_->setEnabled(aberto && fase != plano::Fase::Fim);
    relatorio_->setEnabled(aberto);
}

void cDlgPlano::Continuar() {
    if (execucao_) {
        comecou_ = true;
        execucao_->Continuar();
    }
}

void cDlgPlano::Pular() {
    if (execucao_) {
        execucao_->Pular();
    }
}

void cDlgPlano::Repetir() {
    const QList<QTableWidgetItem*> selecao = tabela_->selectedItems();
    if (execucao_ && !selecao.isEmpty()) {
        comecou_ = true;
        execucao_->Repetir(static_cast<size_t>(selecao.front()->row()));
    }
}

void cDlgPlano::Parar() {
    if (!execucao_) {
        return;
    }
    if (execucao_->FaseAtual() == plano::Fase::Execucao) {
        execucao_->Parar();
    } else {
        execucao_->Encerrar();
    }
}

void cDlgPlano::Relatorio() {
    if (execucao_ && execucao_->GravarRelatorio()) {
        MostrarMensagem(
            this, IconeMensagem::Informacao,
            Q("Relatório gravado em " + execucao_->PastaRelatorio() + "/" + plano::kRelatorioHtml));
    }
}

void cDlgPlano::Acompanhar() {
    if (execucao_) {
        execucao_->Acompanhar(std::chrono::milliseconds(0));
    }
}

void cDlgPlano::reject() {
    if (execucao_ && execucao_->FaseAtual() == plano::Fase::Execucao) {
        execucao_->Parar();
        return;
    }
    QDialog::reject();
}

}  // namespace tvx
