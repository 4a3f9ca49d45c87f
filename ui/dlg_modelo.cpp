#include "ui/dlg_modelo.h"

#include <QDir>
#include <QFile>

#include "ui/dlg_plano.h"
#include "ui_dlg_modelo.h"

namespace tvx {

namespace {

QString TextoDeTela(const std::string& texto) {
    // The catalogue separates steps with "\r\n"; a label breaks on "\n".
    QString resultado = QString::fromStdString(texto);
    resultado.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return resultado;
}

}  // namespace

cDlgModelo::cDlgModelo(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaModelo), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgModelo>()),
      avisos_(this) {
    ui_->setupUi(this);
    connect(ui_->ctl1012, &QComboBox::activated, this, [this] { AoMudarSelecao(); });
    connect(ui_->ctl1030, &QPushButton::clicked, this, [this] { AoLerConfiguracao(); });
    connect(ui_->botaoPlano, &QPushButton::clicked, this, [this] { AoAbrirPlano(); });
}

cDlgModelo::~cDlgModelo() = default;

void cDlgModelo::OnInitDialog() {
    ui_->ctl1012->clear();
    for (const EntradaModelo& entrada : ListaModelos()) {
        ui_->ctl1012->addItem(QString::fromStdString(entrada.nome), entrada.indice);
    }
    SelecionarModeloAtual();
    ui_->ctl1034->setText(QString::fromUtf8(kCabecalhoModelo));
    ui_->ctl1034->repaint();
    AoMudarSelecao();
}

void cDlgModelo::OnShowWindow(bool /*mostrar*/) {
    // The instruction text stays as it is: only the selection follows the object.
    SelecionarModeloAtual();
}

void cDlgModelo::SelecionarModeloAtual() {
    std::vector<EntradaModelo> lista;
    for (int i = 0; i < ui_->ctl1012->count(); ++i) {
        lista.push_back(
            {ui_->ctl1012->itemText(i).toStdString(), ui_->ctl1012->itemData(i).toUInt()});
    }
    const auto posicao = PosicaoDoModelo(lista, equipamento_.GetModelo());
    ui_->ctl1012->setCurrentIndex(posicao ? static_cast<int>(*posicao) : -1);
}

void cDlgModelo::AoMudarSelecao() {
    std::optional<uint32_t> indice;
    if (ui_->ctl1012->currentIndex() >= 0) {
        indice = ui_->ctl1012->currentData().toUInt();
    }
    const auto instrucoes = EscolherModelo(equipamento_, indice, avisos_);
    if (instrucoes) {
        ui_->ctl1015->setText(TextoDeTela(*instrucoes));
    }
}

bool cDlgModelo::validatePage() {
    ConfirmarModelo(equipamento_, avisos_);
    return true;
}

void cDlgModelo::AoLerConfiguracao() {
    const QString pasta = pastaConfiguracao_.empty()
                              ? QDir::currentPath()
                              : QFile::decodeName(QByteArray::fromStdString(pastaConfiguracao_));
    const QString caminho = AbrirArquivo(this, QString::fromUtf8(kTituloDialogoConfiguracao), pasta,
                                         QString::fromUtf8(kFiltroConfiguracao));
    // The controls are left as they are: the page shows the file's model the
    // next time it is shown.
    LerConfiguracaoEscolhida(equipamento_, QFile::encodeName(caminho).toStdString(), avisos_);
}

void cDlgModelo::AoAbrirPlano() {
    const QString caminho = AbrirArquivo(this, QString::fromUtf8(kTituloPlano), QDir::currentPath(),
                                         QString::fromUtf8(kFiltroPlano));
    if (caminho.isEmpty()) {
        return;
    }
    // Modal to the wizard: no run of page 4 may reach a device meanwhile.
    auto* janela = new cDlgPlano(this);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    if (!janela->AbrirPlano(QFile::encodeName(caminho).toStdString())) {
        delete janela;
        return;
    }
    janela->open();
}

}  // namespace tvx
