#pragma once
// The text box of the parameters grid: a line edit that keeps its text in the
// shape of an input mask ("02:B4:6D:**:**:**" keeps its prefix and takes a
// letter or digit at each '*'). The rules live in MascaraEdicao; this box
// only feeds it keys and edits and shows what comes back.
#include <QLineEdit>
#include <QString>

#include "paginas/mascara_edicao.h"

namespace tvx {

class cMaskedEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit cMaskedEdit(QWidget* parent = nullptr);

    // An empty mask makes a plain text box. With a mask the box shows the
    // mask with every input position holding the placeholder.
    void DefinirMascara(const QString& mascara, QChar marcador = QChar('_'));
    // Puts a text in the box through the mask (as is without one).
    void DefinirTexto(const QString& texto);
    QString Mascara() const;

  signals:
    // After every edit the user made, with the text the box now shows.
    void textoAlterado(const QString& texto);

  protected:
    void keyPressEvent(QKeyEvent* evento) override;

  private:
    void AoEditar(const QString& texto);

    MascaraEdicao mascara_;
};

}  // namespace tvx
