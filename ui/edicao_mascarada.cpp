#include "ui/edicao_mascarada.h"

#include <QKeyEvent>
#include <algorithm>

namespace tvx {

namespace {

// Carets of MascaraEdicao count code points, those of QLineEdit UTF-16 units.
int PontosAte(const QString& texto, int unidades) {
    return static_cast<int>(texto.left(unidades).toStdU32String().size());
}

int UnidadesAte(const std::u32string& texto, int pontos) {
    const size_t n = std::min(texto.size(), static_cast<size_t>(std::max(pontos, 0)));
    return static_cast<int>(QString::fromStdU32String(texto.substr(0, n)).size());
}

}  // namespace

cMaskedEdit::cMaskedEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &cMaskedEdit::AoEditar);
}

void cMaskedEdit::DefinirMascara(const QString& mascara, QChar marcador) {
    mascara_.DefinirMascara(mascara.toStdU32String(), marcador.unicode());
    if (mascara_.TemMascara()) {
        setText(QString::fromStdU32String(mascara_.Display()));
    }
}

void cMaskedEdit::DefinirTexto(const QString& texto) {
    if (!mascara_.TemMascara()) {
        setText(texto);
        return;
    }
    setText(QString::fromStdU32String(mascara_.DefinirTexto(texto.toStdU32String())));
}

QString cMaskedEdit::Mascara() const {
    return QString::fromStdU32String(mascara_.Mascara());
}

void cMaskedEdit::keyPressEvent(QKeyEvent* evento) {
    MascaraEdicao::Tecla tecla = MascaraEdicao::Tecla::Outra;
    if (evento->key() == Qt::Key_Backspace) {
        tecla = MascaraEdicao::Tecla::Backspace;
    } else if (evento->key() == Qt::Key_Delete) {
        tecla = MascaraEdicao::Tecla::Delete;
    }
    mascara_.AoPressionarTecla(tecla);
    QLineEdit::keyPressEvent(evento);
}

void cMaskedEdit::AoEditar(const QString& texto) {
    const std::u32string pontos = texto.toStdU32String();
    const MascaraEdicao::Resultado r =
        mascara_.AoEditar(pontos, PontosAte(texto, cursorPosition()));
    if (r.alterado) {
        // setText does not emit textEdited, so this does not come back here.
        setText(QString::fromStdU32String(r.texto));
        setCursorPosition(UnidadesAte(r.texto, r.cursor));
    }
    emit textoAlterado(this->text());
}

}  // namespace tvx
