#include "ui/dlg_ip_ms_gw.h"

#include <QVBoxLayout>

#include "paginas/arquivo_configuracao.h"
#include "paginas/parametros.h"
#include "ui/lista_propriedades.h"
#include "ui_dlg_ip_ms_gw.h"

namespace tvx {

cDlgIpMsGw::cDlgIpMsGw(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaParametros), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgIpMsGw>()),
      avisos_(this),
      lista_(nullptr) {
    ui_->setupUi(this);
    auto* layout = new QVBoxLayout(ui_->ctl1071);
    layout->setContentsMargins(0, 0, 0, 0);
    lista_ = new cPropertyList(ui_->ctl1071);
    lista_->setObjectName(QStringLiteral("listaPropriedades"));
    layout->addWidget(lista_);
    lista_->DefinirLinhas(&linhas_);
    // A new gateway function brings its own rows at once.
    linhas_.aoEscolher = [this](const cPropertyItem& linha) {
        if (EscolhaParametro(equipamento_, linhas_, linha)) {
            // The rows the list was showing are gone.
            lista_->Recarregar();
        }
    };
}

cDlgIpMsGw::~cDlgIpMsGw() = default;

void cDlgIpMsGw::OnShowWindow(bool /*mostrar*/) {
    // Also on hiding: leaving with Back throws away what was not committed.
    Reconstruir();
}

void cDlgIpMsGw::Reconstruir() {
    ui_->ctl1015->setVisible(MostraCabecalhoParametros(equipamento_));
    ConstruirParametros(equipamento_, linhas_);
    lista_->Recarregar();
}

bool cDlgIpMsGw::validatePage() {
    // A refusal keeps the page and its edits; values read before it stay in
    // the equipment object, and only an accepted page is saved.
    if (!ConfirmarParametros(equipamento_, linhas_, avisos_)) {
        return false;
    }
    GravarConfiguracao(equipamento_, avisos_);
    return true;
}

}  // namespace tvx
