#include "ui/pagina_assistente.h"

#include <QHideEvent>
#include <QShowEvent>

namespace tvx {

cPaginaAssistente::cPaginaAssistente(const QString& titulo, QWidget* parent)
    : QWizardPage(parent), titulo_(titulo) {}

void cPaginaAssistente::showEvent(QShowEvent* evento) {
    QWizardPage::showEvent(evento);
    // A window restored from the task bar shows its pages again without the
    // page having changed.
    if (evento->spontaneous()) {
        return;
    }
    if (!iniciada_) {
        iniciada_ = true;
        OnInitDialog();
    }
    OnShowWindow(true);
}

void cPaginaAssistente::hideEvent(QHideEvent* evento) {
    QWizardPage::hideEvent(evento);
    if (evento->spontaneous() || !iniciada_) {
        return;
    }
    OnShowWindow(false);
}

}  // namespace tvx
