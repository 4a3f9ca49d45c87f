#pragma once
// A plain editor of the parameter rows of page 3: one table line per row,
// with a check box, an IP address box, a text box or a drop-down list as the
// row's editor, and every edit made through the row model's own operations.
#include <QTableWidget>

#include "ui/logica/propriedades.h"

namespace tvx {

class cEditorLinhas : public QTableWidget {
    Q_OBJECT
  public:
    explicit cEditorLinhas(QWidget* parent = nullptr);

    // The rows shown; they must outlive the editor or be replaced first.
    void DefinirLinhas(cPropertyRows* linhas);
    // Builds the table again from the rows, after they changed underneath.
    void Recarregar();

  private:
    QWidget* CriarEditor(size_t indice, const cPropertyItem& linha);

    cPropertyRows* linhas_ = nullptr;
};

}  // namespace tvx
