#include "ui/dlg_ip_ms_gw.h"

#include "ui_dlg_ip_ms_gw.h"

namespace tvx {

cDlgIpMsGw::cDlgIpMsGw(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaParametros), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgIpMsGw>()),
      avisos_(this) {
    ui_->setupUi(this);
}

cDlgIpMsGw::~cDlgIpMsGw() = default;

void cDlgIpMsGw::OnShowWindow(bool /*mostrar*/) {
    // Also on hiding: leaving with Back throws away what was not committed.
    Reconstruir();
}

void cDlgIpMsGw::Reconstruir() {
    ui_->ctl1015->setVisible(equipamento_.Familia() != kFamiliaNenhuma);
    // PARAMETER ROWS: the rows of the parameters logic are built into ctl1071 here.
}

bool cDlgIpMsGw::validatePage() {
    // PARAMETER ROWS: the commit of the parameters logic, with its refusals
    // through avisos_, goes here; until then Next only saves.
    equipamento_.Configuracao(true);
    return true;
}

}  // namespace tvx
