#include "ui/dlg_ip_ms_gw.h"

#include <QVBoxLayout>

#include "ui/editor_linhas.h"
#include "ui_dlg_ip_ms_gw.h"

namespace tvx {

cDlgIpMsGw::cDlgIpMsGw(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaParametros), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgIpMsGw>()),
      avisos_(this),
      editor_(nullptr) {
    ui_->setupUi(this);
    auto* layout = new QVBoxLayout(ui_->ctl1071);
    layout->setContentsMargins(0, 0, 0, 0);
    editor_ = new cEditorLinhas(ui_->ctl1071);
    editor_->setObjectName(QStringLiteral("listaPropriedades"));
    layout->addWidget(editor_);
    editor_->DefinirLinhas(&linhas_);
}

cDlgIpMsGw::~cDlgIpMsGw() = default;

void cDlgIpMsGw::OnShowWindow(bool /*mostrar*/) {
    // Also on hiding: leaving with Back throws away what was not committed.
    Reconstruir();
}

void cDlgIpMsGw::Reconstruir() {
    ui_->ctl1015->setVisible(equipamento_.Familia() != kFamiliaNenhuma);
    // PARAMETER ROWS: the rebuild of the parameters logic fills linhas_ here.
    editor_->Recarregar();
}

bool cDlgIpMsGw::validatePage() {
    // PARAMETER ROWS: the commit of the parameters logic, with its refusals
    // through avisos_, goes here; until then Next only saves.
    equipamento_.Configuracao(true);
    return true;
}

}  // namespace tvx
