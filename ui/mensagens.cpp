#include "ui/mensagens.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>
#include <utility>

namespace tvx {

namespace {

RespostaMensagem CaixaReal(QWidget* dono, IconeMensagem icone, const QString& texto) {
    QWidget* janela = dono != nullptr ? dono->window() : nullptr;
    QMessageBox caixa(janela);
    caixa.setWindowTitle(QString::fromUtf8(kTituloAvisos));
    caixa.setText(texto);
    caixa.setWindowFlags(caixa.windowFlags() | Qt::WindowStaysOnTopHint);
    switch (icone) {
        case IconeMensagem::Erro:
            caixa.setIcon(QMessageBox::Critical);
            caixa.setStandardButtons(QMessageBox::Ok);
            break;
        case IconeMensagem::Informacao:
            caixa.setIcon(QMessageBox::Information);
            caixa.setStandardButtons(QMessageBox::Ok);
            break;
        case IconeMensagem::Pergunta:
            caixa.setIcon(QMessageBox::Question);
            caixa.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            caixa.button(QMessageBox::Yes)->setText(QStringLiteral("&Sim"));
            caixa.button(QMessageBox::No)->setText(QStringLiteral("&Não"));
            caixa.setDefaultButton(QMessageBox::Yes);
            break;
    }
    const int resposta = caixa.exec();
    if (icone != IconeMensagem::Pergunta) {
        return RespostaMensagem::Ok;
    }
    return resposta == QMessageBox::Yes ? RespostaMensagem::Sim : RespostaMensagem::Nao;
}

QString DialogoReal(QWidget* dono, const QString& titulo, const QString& pasta,
                    const QString& filtro) {
    // The dialog never changes the working directory, which the default
    // configuration and the log file are relative to.
    return QFileDialog::getOpenFileName(dono != nullptr ? dono->window() : nullptr, titulo, pasta,
                                        filtro);
}

FuncaoMensagem& Mensagem() {
    static FuncaoMensagem funcao = CaixaReal;
    return funcao;
}

FuncaoAbrirArquivo& Arquivo() {
    static FuncaoAbrirArquivo funcao = DialogoReal;
    return funcao;
}

}  // namespace

RespostaMensagem MostrarMensagem(QWidget* dono, IconeMensagem icone, const QString& texto) {
    return Mensagem()(dono, icone, texto);
}

QString AbrirArquivo(QWidget* dono, const QString& titulo, const QString& pasta,
                     const QString& filtro) {
    return Arquivo()(dono, titulo, pasta, filtro);
}

FuncaoMensagem DefinirFuncaoMensagem(FuncaoMensagem funcao) {
    FuncaoMensagem anterior = std::exchange(Mensagem(), funcao ? std::move(funcao) : CaixaReal);
    return anterior;
}

FuncaoAbrirArquivo DefinirFuncaoAbrirArquivo(FuncaoAbrirArquivo funcao) {
    FuncaoAbrirArquivo anterior =
        std::exchange(Arquivo(), funcao ? std::move(funcao) : DialogoReal);
    return anterior;
}

void cAvisosQt::Mostrar(TipoAviso tipo, const std::string& texto) {
    MostrarMensagem(dono_,
                    tipo == TipoAviso::Erro ? IconeMensagem::Erro : IconeMensagem::Informacao,
                    QString::fromStdString(texto));
}

bool cAvisosQt::Perguntar(const std::string& texto) {
    return MostrarMensagem(dono_, IconeMensagem::Pergunta, QString::fromStdString(texto)) ==
           RespostaMensagem::Sim;
}

}  // namespace tvx
