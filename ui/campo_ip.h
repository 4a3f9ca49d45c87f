#pragma once
// An IPv4 address box that behaves like the Windows IP address control: four
// fields of up to three digits, each at most 255; three digits or a '.' move
// on to the next field; Backspace and the arrow keys cross the dots. Its text
// is always the dotted form, a blank field counting as 0.
#include <QFrame>
#include <QString>
#include <array>

class QLineEdit;

namespace tvx {

class cCampoIp : public QFrame {
    Q_OBJECT
  public:
    explicit cCampoIp(QWidget* parent = nullptr);

    // "%d.%d.%d.%d"; blank fields give 0, so an empty box gives "0.0.0.0".
    QString texto() const;
    // Up to four dot-separated numbers; above 255 counts as 255, anything that
    // is not a number leaves its field blank.
    void definirTexto(const QString& texto);
    bool vazio() const;
    void limpar();
    QLineEdit* campo(int indice) const { return campos_[static_cast<size_t>(indice)]; }

  signals:
    void alterado();

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    void AoEditar(int indice);
    void IrPara(int indice, bool noInicio);
    int IndiceDe(QObject* objeto) const;

    std::array<QLineEdit*, 4> campos_{};
};

}  // namespace tvx
