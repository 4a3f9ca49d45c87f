#include "ui/preparar_rede.h"

#include <QCursor>
#include <QGuiApplication>
#include <QString>

#include "core/preparacao_rede.h"
#include "ui/mensagens.h"

namespace tvx {

void PrepararRedeComPergunta(QWidget* dono, uint32_t acao, const cEquipamento& equipamento) {
    const DiagnosticoRede diagnostico = DiagnosticarAntesDe(acao, equipamento);
    if (diagnostico.problema == ProblemaRede::Nenhum) {
        return;
    }
    const QString texto = QString::fromStdString(diagnostico.texto);
    if (!diagnostico.Corrigivel()) {
        MostrarMensagem(dono, IconeMensagem::Informacao, texto);
        return;
    }
    // The probes wait up to a second for a free address.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ResultadoPreparacao r = EscolherEnderecoTemporario(diagnostico);
    QGuiApplication::restoreOverrideCursor();
    if (r.resultado != Preparacao::Pronto) {
        MostrarMensagem(dono, IconeMensagem::Informacao,
                        texto + "\n\n" + QString::fromStdString(r.texto));
        return;
    }
    const std::string pergunta = "Adicionar o endereço temporário " + r.endereco.Texto() +
                                 " à interface " + r.endereco.interface +
                                 " até o assistente ser fechado?";
    if (MostrarMensagem(dono, IconeMensagem::Pergunta,
                        texto + "\n\n" + QString::fromStdString(pergunta)) !=
        RespostaMensagem::Sim) {
        return;
    }
    r = AdicionarEnderecoTemporario(r.endereco);
    if (r.resultado != Preparacao::Pronto) {
        MostrarMensagem(
            dono,
            r.resultado == Preparacao::Falha ? IconeMensagem::Erro : IconeMensagem::Informacao,
            QString::fromStdString(r.texto));
    }
}

}  // namespace tvx
