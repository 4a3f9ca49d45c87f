#pragma once
// What the four wizard pages share: the title that the wizard window shows
// while the page is active, and the three moments a page reacts to — its
// dialog initialisation on first showing, every showing and hiding, and its
// activation by the wizard.
#include <QString>
#include <QWizardPage>

namespace tvx {

inline constexpr const char* kTituloAssistente = "TVX - Programação de IP";

class cPaginaAssistente : public QWizardPage {
    Q_OBJECT
  public:
    cPaginaAssistente(const QString& titulo, QWidget* parent);
    const QString& TituloPagina() const { return titulo_; }
    // The wizard made this page the active one.
    virtual void OnSetActive() {}

  protected:
    // Once, the first time the page is shown, before its first OnShowWindow.
    virtual void OnInitDialog() {}
    // Every time the page is shown (true) or hidden (false).
    virtual void OnShowWindow(bool /*mostrar*/) {}

    void showEvent(QShowEvent* evento) override;
    void hideEvent(QHideEvent* evento) override;

  private:
    QString titulo_;
    bool iniciada_ = false;
};

}  // namespace tvx
