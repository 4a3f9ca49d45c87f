#include "ui/campo_ip.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <algorithm>

namespace tvx {

namespace {

constexpr int kMaximoOcteto = 255;

}  // namespace

cCampoIp::cCampoIp(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    const auto* digitos = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
    for (int i = 0; i < 4; ++i) {
        auto* campo = new QLineEdit(this);
        campo->setObjectName(QStringLiteral("octeto%1").arg(i + 1));
        campo->setFrame(false);
        campo->setMaxLength(3);
        campo->setAlignment(Qt::AlignCenter);
        campo->setValidator(digitos);
        campo->setFixedWidth(campo->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 4);
        campo->installEventFilter(this);
        if (i > 0) {
            // Tab leaves the box, as it leaves the Windows control.
            campo->setFocusPolicy(Qt::ClickFocus);
        }
        connect(campo, &QLineEdit::textEdited, this, [this, i] { AoEditar(i); });
        connect(campo, &QLineEdit::textChanged, this, &cCampoIp::alterado);
        campos_[static_cast<size_t>(i)] = campo;
        layout->addWidget(campo);
        if (i < 3) {
            auto* ponto = new QLabel(QStringLiteral("."), this);
            ponto->setAlignment(Qt::AlignCenter);
            layout->addWidget(ponto);
        }
    }
    // As wide as four numbers of three digits, however wide the page is.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusProxy(campos_[0]);
    setFocusPolicy(Qt::StrongFocus);
}

QString cCampoIp::texto() const {
    QStringList partes;
    for (const QLineEdit* campo : campos_) {
        partes << QString::number(campo->text().isEmpty() ? 0 : campo->text().toInt());
    }
    return partes.join(QLatin1Char('.'));
}

void cCampoIp::definirTexto(const QString& texto) {
    const QStringList partes = texto.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        QString valor;
        if (i < partes.size()) {
            const QString parte = partes[i].trimmed();
            bool ok = false;
            const qlonglong numero = parte.toLongLong(&ok);
            if (ok && numero >= 0) {
                valor = QString::number(std::min<qlonglong>(numero, kMaximoOcteto));
            }
        }
        campos_[static_cast<size_t>(i)]->setText(valor);
    }
}

bool cCampoIp::vazio() const {
    for (const QLineEdit* campo : campos_) {
        if (!campo->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void cCampoIp::limpar() {
    for (QLineEdit* campo : campos_) {
        campo->clear();
    }
}

void cCampoIp::AoEditar(int indice) {
    QLineEdit* campo = campos_[static_cast<size_t>(indice)];
    if (campo->text().toInt() > kMaximoOcteto) {
        // The Windows control also puts the largest value in place of a larger one.
        campo->setText(QString::number(kMaximoOcteto));
    }
    if (campo->text().size() == 3 && campo->cursorPosition() == 3 && indice < 3) {
        IrPara(indice + 1, true);
    }
}

void cCampoIp::IrPara(int indice, bool noInicio) {
    QLineEdit* campo = campos_[static_cast<size_t>(indice)];
    campo->setFocus(Qt::OtherFocusReason);
    if (noInicio) {
        campo->selectAll();
    } else {
        campo->deselect();
        campo->setCursorPosition(static_cast<int>(campo->text().size()));
    }
}

int cCampoIp::IndiceDe(QObject* objeto) const {
    for (int i = 0; i < 4; ++i) {
        if (campos_[static_cast<size_t>(i)] == objeto) {
            return i;
        }
    }
    return -1;
}

bool cCampoIp::eventFilter(QObject* objeto, QEvent* evento) {
    const int indice = IndiceDe(objeto);
    if (indice < 0 || evento->type() != QEvent::KeyPress) {
        return QFrame::eventFilter(objeto, evento);
    }
    auto* tecla = static_cast<QKeyEvent*>(evento);
    QLineEdit* campo = campos_[static_cast<size_t>(indice)];
    if (tecla->matches(QKeySequence::Paste)) {
        const QString colado = QApplication::clipboard()->text().trimmed();
        if (colado.contains(QLatin1Char('.'))) {
            definirTexto(colado);
            return true;
        }
        return false;
    }
    switch (tecla->key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            // Right after three digits moved the caret on, the dot is already
            // typed: an empty field keeps it.
            if (indice < 3 && !campo->text().isEmpty()) {
                IrPara(indice + 1, true);
            }
            return true;
        case Qt::Key_Backspace:
            if (indice > 0 && campo->cursorPosition() == 0 && !campo->hasSelectedText()) {
                IrPara(indice - 1, false);
                return true;
            }
            return false;
        case Qt::Key_Left:
            if (indice > 0 && campo->cursorPosition() == 0 && !campo->hasSelectedText()) {
                IrPara(indice - 1, false);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (indice < 3 && campo->cursorPosition() == campo->text().size()) {
                IrPara(indice + 1, false);
                campos_[static_cast<size_t>(indice + 1)]->setCursorPosition(0);
                return true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace tvx
