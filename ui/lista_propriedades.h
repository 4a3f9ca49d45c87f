#pragma once
// The grid of page 3: one 20-pixel line per row of a cPropertyRows, a grey
// label column, a value column, group titles between, a splitter the user can
// drag, and one in-place editor (drop-down list, masked text box, check box
// or IP address box) over the value cell of the row being edited. Every edit
// goes through the row model's own editor actions.
#include <QAbstractScrollArea>
#include <QFont>

#include "paginas/propriedades.h"

class QCheckBox;
class QComboBox;

namespace tvx {

class cCampoIp;
class cMaskedEdit;

class cPropertyList : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kAlturaLinha = 20;
    static constexpr int kMargemDivisor = 5;  // how near the splitter a press grabs it
    static constexpr int kMargemBorda = 10;   // how near the sides it may go
    static constexpr int kAlturaListaAberta = 100;
    static constexpr int kLarguraCampoIp = 120;
    static constexpr int kLarguraCheck = 14;

    explicit cPropertyList(QWidget* parent = nullptr);
    ~cPropertyList() override;

    // The rows shown; they must outlive the list or be replaced first.
    void DefinirLinhas(cPropertyRows* linhas);
    // After the rows were rebuilt underneath: the editors are put away (their
    // rows are gone) and the list is drawn again.
    void Recarregar();

    // Shows the editor of a row, as a click on it does.
    void Selecionar(size_t indice);

    int Divisor() const { return divisor_; }
    size_t Atual() const { return atual_; }
    QRect RetanguloLinha(size_t indice) const;

    // The editors, created on first use; null before.
    QComboBox* Lista() const { return lista_; }
    cMaskedEdit* Texto() const { return texto_; }
    QCheckBox* Check() const { return check_; }
    cCampoIp* CampoIp() const { return campoIp_; }
    // The editor shown now, or null.
    QWidget* EditorVisivel() const;

    static QFont FonteEditores();

  protected:
    void paintEvent(QPaintEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;

  private:
    void MostrarEditor();
    void PosicionarEditor();
    void EsconderEditores(bool tambemCampoIp);
    void AtualizarBarra();
    bool PertoDoDivisor(int x) const;
    int LimitarDivisor(int x) const;
    int LinhaEm(int y) const;
    void AoMudarFoco(QWidget* novo);
    void PrepararLista(const cPropertyItem& linha);

    cPropertyRows* linhas_ = nullptr;
    int divisor_ = 0;
    size_t atual_ = 1;
    bool arrastando_ = false;
    int xArraste_ = 0;
    bool preenchendo_ = false;  // editors being filled: their signals are not edits
    QFont fonte_;
    QMetaObject::Connection conexaoFoco_;

    QComboBox* lista_ = nullptr;
    cMaskedEdit* texto_ = nullptr;
    QCheckBox* check_ = nullptr;
    cCampoIp* campoIp_ = nullptr;
};

}  // namespace tvx
