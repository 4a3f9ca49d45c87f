#include "ui/editor_linhas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTimer>

#include "ui/campo_ip.h"

namespace tvx {

cEditorLinhas::cEditorLinhas(QWidget* parent) : QTableWidget(parent) {
    setColumnCount(2);
    horizontalHeader()->setVisible(false);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void cEditorLinhas::DefinirLinhas(cPropertyRows* linhas) {
    linhas_ = linhas;
    Recarregar();
}

void cEditorLinhas::Recarregar() {
    clearContents();
    clearSpans();
    const size_t quantidade = linhas_ != nullptr ? linhas_->Quantidade() : 0;
    setRowCount(static_cast<int>(quantidade));
    for (size_t i = 0; i < quantidade; ++i) {
        const cPropertyItem& linha = *linhas_->Linha(i);
        const int r = static_cast<int>(i);
        auto* rotulo = new QTableWidgetItem(QString::fromStdString(linha.name));
        if (linha.editor == kEditorGrupo) {
            QFont fonte = rotulo->font();
            fonte.setBold(true);
            rotulo->setFont(fonte);
            rotulo->setBackground(palette().alternateBase());
            setItem(r, 0, rotulo);
            setSpan(r, 0, 1, 2);
            continue;
        }
        setItem(r, 0, rotulo);
        setCellWidget(r, 1, CriarEditor(i, linha));
    }
    resizeRowsToContents();
}

QWidget* cEditorLinhas::CriarEditor(size_t indice, const cPropertyItem& linha) {
    switch (linha.editor) {
        case kEditorCheck: {
            auto* caixa = new QCheckBox(this);
            caixa->setChecked(linha.data != 0);
            connect(caixa, &QCheckBox::toggled, this,
                    [this, indice](bool marcado) { linhas_->DefinirCheck(indice, marcado); });
            return caixa;
        }
        case kEditorIp: {
            auto* campo = new cCampoIp(this);
            campo->definirTexto(QString::fromStdString(linha.value));
            connect(campo, &cCampoIp::alterado, this, [this, indice, campo] {
                linhas_->EditarEndereco(indice, campo->texto().toStdString());
            });
            return campo;
        }
        case kEditorLista: {
            auto* lista = new QComboBox(this);
            lista->addItem(QString());
            for (const EntradaEscolha& entrada : EntradasEscolha(linha)) {
                lista->addItem(QString::fromStdString(entrada.texto));
            }
            lista->setCurrentIndex(static_cast<int>(IndiceInicialEditor(linha)));
            connect(lista, &QComboBox::activated, this, [this, indice](int entrada) {
                linhas_->Escolher(indice, static_cast<size_t>(entrada));
                // A choice may rebuild the rows (a gateway function brings its
                // own): the table follows once this list's signal is over.
                QTimer::singleShot(0, this, [this] { Recarregar(); });
            });
            return lista;
        }
        default: {
            auto* texto = new QLineEdit(QString::fromStdString(linha.value), this);
            if (!linha.mask.empty()) {
                texto->setMaxLength(static_cast<int>(linha.mask.size()));
                texto->setPlaceholderText(QString::fromStdString(linha.mask));
            }
            connect(texto, &QLineEdit::textEdited, this, [this, indice](const QString& valor) {
                linhas_->EditarTexto(indice, valor.toStdString());
            });
            connect(texto, &QLineEdit::editingFinished, this, [this, indice, texto] {
                // A masked row keeps what its mask made of the text.
                const cPropertyItem* atual = linhas_->Linha(indice);
                if (atual != nullptr) {
                    texto->setText(QString::fromStdString(atual->value));
                }
            });
            return texto;
        }
    }
}

}  // namespace tvx
