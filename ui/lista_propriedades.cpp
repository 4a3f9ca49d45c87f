#include "ui/lista_propriedades.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <vector>

#include "ui/campo_ip.h"
#include "ui/edicao_mascarada.h"

namespace tvx {

namespace {

constexpr int kRecuoTexto = 3;
const QColor kCorGrupo(176, 176, 176);
const QColor kCorRotulo(192, 192, 192);
const QColor kCorSombra(128, 128, 128);
const QColor kCorLuz(255, 255, 255);

// The drop-down entry's index into the row's own order (0 the empty entry),
// which the row model's Escolher takes; the shown order may be sorted.
constexpr int kPapelEntrada = Qt::UserRole + 1;

QString QTexto(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A sunken line then a light one, as an etched edge shows.
void BordaGravadaHorizontal(QPainter& p, int x0, int x1, int y) {
    p.setPen(kCorSombra);
    p.drawLine(x0, y - 1, x1, y - 1);
    p.setPen(kCorLuz);
    p.drawLine(x0, y, x1, y);
}

void BordaGravadaVertical(QPainter& p, int x, int y0, int y1) {
    p.setPen(kCorSombra);
    p.drawLine(x - 1, y0, x - 1, y1);
    p.setPen(kCorLuz);
    p.drawLine(x, y0, x, y1);
}

bool Dentro(const QWidget* editor, const QWidget* w) {
    // The drop-down's popup is a window of its own whose parent is the box.
    for (; w != nullptr; w = w->parentWidget()) {
        if (w == editor) {
            return true;
        }
    }
    return false;
}

}  // namespace

cPropertyList::cPropertyList(QWidget* parent)
    : QAbstractScrollArea(parent), fonte_(FonteEditores()) {
    setFont(fonte_);
    // No focus on a mere click: a press on the splitter leaves the editor
    // its focus; a press on a row takes it (mousePressEvent).
    setFocusPolicy(Qt::TabFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(1);
    conexaoFoco_ = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget*, QWidget* novo) { AoMudarFoco(novo); });
}

cPropertyList::~cPropertyList() {
    // The base destructors still move the focus about while the editors go;
    // by then this object is no longer a list to tell.
    disconnect(conexaoFoco_);
}

QFont cPropertyList::FonteEditores() {
    if (QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))) {
        return QFont(QStringLiteral("MS Sans Serif"), 8);
    }
    QFont fonte = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    fonte.setStyleHint(QFont::SansSerif);
    fonte.setPointSize(8);
    return fonte;
}

void cPropertyList::DefinirLinhas(cPropertyRows* linhas) {
    linhas_ = linhas;
    Recarregar();
}

void cPropertyList::Recarregar() {
    EsconderEditores(true);
    arrastando_ = false;
    AtualizarBarra();
    viewport()->update();
}

void cPropertyList::AtualizarBarra() {
    const int quantidade = linhas_ != nullptr ? static_cast<int>(linhas_->Quantidade()) : 0;
    const int visiveis = std::max(1, viewport()->height() / kAlturaLinha);
    verticalScrollBar()->setPageStep(visiveis);
    verticalScrollBar()->setRange(0, std::max(0, quantidade - visiveis));
}

QRect cPropertyList::RetanguloLinha(size_t indice) const {
    const int primeira = verticalScrollBar()->value();
    return QRect(0, (static_cast<int>(indice) - primeira) * kAlturaLinha, viewport()->width(),
                 kAlturaLinha);
}

int cPropertyList::LinhaEm(int y) const {
    if (linhas_ == nullptr || y < 0) {
        return -1;
    }
    const int linha = verticalScrollBar()->value() + y / kAlturaLinha;
    return linha < static_cast<int>(linhas_->Quantidade()) ? linha : -1;
}

QWidget* cPropertyList::EditorVisivel() const {
    for (QWidget* editor : std::initializer_list<QWidget*>{lista_, texto_, check_, campoIp_}) {
        if (editor != nullptr && editor->isVisible()) {
            return editor;
        }
    }
    return nullptr;
}

void cPropertyList::paintEvent(QPaintEvent* /*evento*/) {
    QPainter p(viewport());
    p.setFont(font());
    const int largura = viewport()->width();
    if (linhas_ != nullptr) {
        const size_t quantidade = linhas_->Quantidade();
        if (divisor_ == 0 && quantidade > 0) {
            divisor_ = largura / 2;
        }
        for (size_t i = static_cast<size_t>(verticalScrollBar()->value()); i < quantidade; ++i) {
            const QRect r = RetanguloLinha(i);
            if (r.top() >= viewport()->height()) {
                break;
            }
            const cPropertyItem& linha = *linhas_->Linha(i);
            p.setPen(palette().color(QPalette::Text));
            if (linha.editor == kEditorGrupo) {
                p.fillRect(r, kCorGrupo);
                p.drawText(r.adjusted(kRecuoTexto, kRecuoTexto, -kRecuoTexto, -kRecuoTexto),
                           Qt::AlignCenter | Qt::TextSingleLine, QTexto(linha.name));
                continue;
            }
            const QRect rotulo(r.left(), r.top(), divisor_ - r.left(), r.height());
            p.fillRect(rotulo, kCorRotulo);
            p.drawText(rotulo.adjusted(kRecuoTexto, 0, -kRecuoTexto, 0),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QTexto(linha.name));
            BordaGravadaVertical(p, rotulo.right(), rotulo.top(), rotulo.bottom());
            BordaGravadaHorizontal(p, rotulo.left(), rotulo.right(), rotulo.bottom());
            BordaGravadaHorizontal(p, divisor_, r.right(), r.bottom());
            p.setPen(palette().color(QPalette::Text));
            if (linha.editor == kEditorCheck) {
                QStyleOptionButton opcao;
                opcao.initFrom(this);
                opcao.rect = QRect(divisor_ + kRecuoTexto, r.top() + 2, 13, 14);
                opcao.state = QStyle::State_Enabled |
                              (linha.data != 0 ? QStyle::State_On : QStyle::State_Off);
                style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opcao, &p, this);
            } else {
                const QRect valor(divisor_ + kRecuoTexto, r.top() + kRecuoTexto,
                                  r.right() - divisor_ - kRecuoTexto, r.height() - kRecuoTexto);
                p.save();
                p.setClipRect(valor);
                p.drawText(valor, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                           QTexto(linha.value));
                p.restore();
            }
        }
    }
    if (arrastando_) {
        // An inverted line: drawn twice at one place it vanishes, as the
        // splitter's trail must.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QColor(255, 255, 255));
        p.drawLine(xArraste_, 0, xArraste_, viewport()->height());
    }
}

void cPropertyList::resizeEvent(QResizeEvent* evento) {
    QAbstractScrollArea::resizeEvent(evento);
    AtualizarBarra();
    PosicionarEditor();
}

void cPropertyList::scrollContentsBy(int /*dx*/, int /*dy*/) {
    PosicionarEditor();
    viewport()->update();
}

bool cPropertyList::PertoDoDivisor(int x) const {
    return divisor_ != 0 && std::abs(x - divisor_) <= kMargemDivisor;
}

int cPropertyList::LimitarDivisor(int x) const {
    // The limits are the list's own window, frame and scroll bar included.
    const int deslocamento = viewport()->x();
    const int naJanela = std::clamp(x + deslocamento, kMargemBorda, width() - kMargemBorda);
    return naJanela - deslocamento;
}

void cPropertyList::mousePressEvent(QMouseEvent* evento) {
    const int x = evento->position().toPoint().x();
    if (evento->button() == Qt::LeftButton && PertoDoDivisor(x)) {
        arrastando_ = true;
        viewport()->setCursor(Qt::SizeHorCursor);
        // The IP box stays with what is typed in it, and follows the
        // splitter when it is let go.
        EsconderEditores(false);
        xArraste_ = LimitarDivisor(x);
        viewport()->update();
        evento->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    QAbstractScrollArea::mousePressEvent(evento);
}

void cPropertyList::mouseMoveEvent(QMouseEvent* evento) {
    const int x = evento->position().toPoint().x();
    if (arrastando_) {
        xArraste_ = LimitarDivisor(x);
        viewport()->update();
        return;
    }
    if (PertoDoDivisor(x)) {
        viewport()->setCursor(Qt::SizeHorCursor);
    } else {
        viewport()->setCursor(Qt::ArrowCursor);
    }
    QAbstractScrollArea::mouseMoveEvent(evento);
}

void cPropertyList::mouseReleaseEvent(QMouseEvent* evento) {
    if (arrastando_) {
        arrastando_ = false;
        viewport()->setCursor(Qt::ArrowCursor);
        divisor_ = LimitarDivisor(evento->position().toPoint().x());
        PosicionarEditor();
        viewport()->update();
        return;
    }
    const int linha = LinhaEm(evento->position().toPoint().y());
    if (linha >= 0 && evento->button() == Qt::LeftButton) {
        atual_ = static_cast<size_t>(linha);
        MostrarEditor();
    }
    QAbstractScrollArea::mouseReleaseEvent(evento);
}

void cPropertyList::keyPressEvent(QKeyEvent* evento) {
    if (evento->key() != Qt::Key_Down) {
        QAbstractScrollArea::keyPressEvent(evento);
        return;
    }
    evento->accept();
    if (linhas_ == nullptr || atual_ + 1 >= linhas_->Quantidade()) {
        return;
    }
    ++atual_;
    const int primeira = verticalScrollBar()->value();
    const int visiveis = verticalScrollBar()->pageStep();
    const int linha = static_cast<int>(atual_);
    if (linha < primeira) {
        verticalScrollBar()->setValue(linha);
    } else if (linha >= primeira + visiveis) {
        verticalScrollBar()->setValue(linha - visiveis + 1);
    }
    MostrarEditor();
}

void cPropertyList::Selecionar(size_t indice) {
    atual_ = indice;
    MostrarEditor();
}

void cPropertyList::EsconderEditores(bool tambemCampoIp) {
    for (QWidget* editor : std::initializer_list<QWidget*>{lista_, texto_, check_}) {
        if (editor != nullptr) {
            editor->hide();
        }
    }
    if (tambemCampoIp && campoIp_ != nullptr) {
        campoIp_->hide();
    }
}

void cPropertyList::AoMudarFoco(QWidget* novo) {
    bool escondeu = false;
    for (QWidget* editor : std::initializer_list<QWidget*>{lista_, texto_, check_, campoIp_}) {
        if (editor != nullptr && editor->isVisible() && !Dentro(editor, novo)) {
            editor->hide();
            escondeu = true;
        }
    }
    if (escondeu) {
        // A changed choice or address is drawn in its cell at once.
        viewport()->update();
    }
}

void cPropertyList::PosicionarEditor() {
    if (linhas_ == nullptr) {
        return;
    }
    const QRect r = RetanguloLinha(atual_);
    const QRect celula(divisor_, r.top(), r.right() - divisor_ + 1, r.height());
    if (lista_ != nullptr && lista_->isVisible()) {
        lista_->setGeometry(celula);
    }
    if (texto_ != nullptr && texto_->isVisible()) {
        texto_->setGeometry(celula.adjusted(0, 0, 0, -3));
    }
    if (check_ != nullptr && check_->isVisible()) {
        check_->setGeometry(divisor_ + 2, r.top() + 2, kLarguraCheck, r.height() - 4);
    }
    if (campoIp_ != nullptr && campoIp_->isVisible()) {
        campoIp_->setGeometry(divisor_, r.top(), kLarguraCampoIp, r.height() - 3);
    }
}

void cPropertyList::MostrarEditor() {
    const cPropertyItem* linha = linhas_ != nullptr ? linhas_->Linha(atual_) : nullptr;
    if (linha == nullptr) {
        return;
    }
    if (divisor_ == 0) {
        divisor_ = viewport()->width() / 2;
    }
    const QRect r = RetanguloLinha(atual_);
    const QRect celula(divisor_, r.top(), r.right() - divisor_ + 1, r.height());
    QWidget* editor = nullptr;
    preenchendo_ = true;
    switch (linha->editor) {
        case kEditorGrupo:
            break;
        case kEditorLista: {
            if (lista_ == nullptr) {
                lista_ = new QComboBox(viewport());
                lista_->setFont(fonte_);
                lista_->hide();
                connect(lista_, &QComboBox::currentIndexChanged, this, [this](int indice) {
                    if (preenchendo_ || indice < 0 || linhas_ == nullptr) {
                        return;
                    }
                    const size_t linha = atual_;
                    const size_t antes = linhas_->Quantidade();
                    const std::string nome = linhas_->Linha(linha)->name;
                    linhas_->Escolher(linha, static_cast<size_t>(
                                                 lista_->itemData(indice, kPapelEntrada).toInt()));
                    // The choice may have rebuilt the rows: the row this box
                    // stood for may be gone, and nothing of it is touched.
                    const cPropertyItem* agora = linhas_->Linha(linha);
                    if (linhas_->Quantidade() != antes || agora == nullptr || agora->name != nome ||
                        agora->editor != kEditorLista) {
                        Recarregar();
                    }
                    viewport()->update();
                });
            }
            PrepararLista(*linha);
            lista_->setGeometry(celula);
            editor = lista_;
            break;
        }
        case kEditorCheck: {
            if (check_ == nullptr) {
                check_ = new QCheckBox(viewport());
                check_->setFont(fonte_);
                check_->hide();
                connect(check_, &QCheckBox::clicked, this, [this] {
                    if (linhas_ == nullptr || !linhas_->AlternarCheck(atual_)) {
                        return;
                    }
                    check_->setChecked(linhas_->Linha(atual_)->data != 0);
                    viewport()->update();
                });
            }
            check_->setGeometry(divisor_ + 2, r.top() + 2, kLarguraCheck, r.height() - 4);
            check_->setChecked(linha->data != 0);
            editor = check_;
            break;
        }
        case kEditorIp: {
            if (campoIp_ == nullptr) {
                campoIp_ = new cCampoIp(viewport());
                campoIp_->setFont(fonte_);
                campoIp_->hide();
                connect(campoIp_, &cCampoIp::alterado, this, [this] {
                    if (!preenchendo_ && linhas_ != nullptr) {
                        linhas_->EditarEndereco(atual_, campoIp_->texto().toStdString());
                    }
                });
            }
            campoIp_->setGeometry(divisor_, r.top(), kLarguraCampoIp, r.height() - 3);
            campoIp_->definirTexto(QTexto(linha->value));
            editor = campoIp_;
            break;
        }
        default: {
            if (texto_ == nullptr) {
                texto_ = new cMaskedEdit(viewport());
                texto_->setFont(fonte_);
                texto_->hide();
                connect(texto_, &cMaskedEdit::textoAlterado, this, [this](const QString& texto) {
                    if (!preenchendo_ && linhas_ != nullptr) {
                        linhas_->EditarTexto(atual_, texto.toStdString());
                    }
                });
            }
            texto_->setGeometry(celula.adjusted(0, 0, 0, -3));
            texto_->DefinirMascara(linha->kind == kTipoMascara ? QTexto(linha->mask) : QString());
            editor = texto_;
            break;
        }
    }
    // Only one editor at a time: the others belong to rows left behind.
    for (QWidget* outro : std::initializer_list<QWidget*>{lista_, texto_, check_, campoIp_}) {
        if (outro != nullptr && outro != editor) {
            outro->hide();
        }
    }
    if (editor != nullptr) {
        editor->show();
        editor->setFocus(Qt::OtherFocusReason);
    }
    if (editor != nullptr && editor == texto_) {
        texto_->DefinirTexto(QTexto(linha->value));
    }
    preenchendo_ = false;
    viewport()->update();
}

void cPropertyList::PrepararLista(const cPropertyItem& linha) {
    struct Entrada {
        QString texto;
        uint32_t valor;
        int indice;  // in the row's own order, 0 the empty entry
    };
    std::vector<Entrada> entradas{{QString(), 0, 0}};
    const std::vector<EntradaEscolha> daLinha = EntradasEscolha(linha);
    for (size_t i = 0; i < daLinha.size(); ++i) {
        entradas.push_back({QTexto(daLinha[i].texto), daLinha[i].valor, static_cast<int>(i + 1)});
    }
    if (linha.sortChoices == 1) {
        // A sorted list compares without regard to case; the empty entry
        // sorts before any text, so it stays first.
        std::stable_sort(entradas.begin() + 1, entradas.end(),
                         [](const Entrada& a, const Entrada& b) {
                             return QString::compare(a.texto, b.texto, Qt::CaseInsensitive) < 0;
                         });
    }
    lista_->clear();
    const int inicial = static_cast<int>(IndiceInicialEditor(linha));
    int selecionada = 0;
    for (const Entrada& entrada : entradas) {
        lista_->addItem(entrada.texto, QVariant::fromValue(entrada.valor));
        lista_->setItemData(lista_->count() - 1, entrada.indice, kPapelEntrada);
        if (entrada.indice == inicial) {
            selecionada = lista_->count() - 1;
        }
    }
    lista_->setCurrentIndex(selecionada);
    // The list drops about 100 pixels below the cell.
    const int alturaItem = std::max(1, lista_->fontMetrics().height() + 2);
    lista_->setMaxVisibleItems(std::max(1, kAlturaListaAberta / alturaItem));
}

}  // namespace tvx
