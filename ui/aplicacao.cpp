#include "ui/aplicacao.h"

#include <QAbstractButton>
#include <QIcon>

#include "paginas/arquivo_configuracao.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui/dlg_programar.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"

namespace tvx {

cAssistente::cAssistente(cEquipamento& equipamento, QWidget* parent)
    : QWizard(parent),
      modelo_(new cDlgModelo(equipamento, this)),
      meio_(new cDlgMeioComunicacao(equipamento, this)),
      parametros_(new cDlgIpMsGw(equipamento, this)),
      programar_(new cDlgProgramar(equipamento, this)) {
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::HaveHelpButton, false);
    setButtonText(QWizard::BackButton, QStringLiteral("< &Voltar"));
    setButtonText(QWizard::NextButton, QStringLiteral("&Avançar >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("&Concluir"));
    setButtonText(QWizard::CancelButton, QStringLiteral("Cancelar"));
    setWindowIcon(QIcon(QStringLiteral(":/tvxnetcfg/tvxnetcfg.png")));
    setWindowTitle(QString::fromUtf8(kTituloAssistente));
    setPage(kPaginaModelo, modelo_);
    setPage(kPaginaMeio, meio_);
    setPage(kPaginaParametros, parametros_);
    setPage(kPaginaProgramar, programar_);
    setStartId(kPaginaModelo);
    connect(this, &QWizard::currentIdChanged, this, [this](int id) { AoAtivarPagina(id); });
}

void cAssistente::AoAtivarPagina(int id) {
    auto* pagina = qobject_cast<cPaginaAssistente*>(page(id));
    if (pagina == nullptr) {
        return;
    }
    // The active page's own title stands in the window's title bar.
    setWindowTitle(pagina->TituloPagina());
    pagina->OnSetActive();
}

bool cAplicacao::InitInstance() {
    cEquipamento& equipamento = EquipamentoGlobal();
    // No window yet: the box stands on its own before the wizard opens.
    cAvisosQt avisos(nullptr);
    CarregarConfiguracaoInicial(equipamento, avisos);
    cAssistente assistente(equipamento);
    assistente.exec();
    return false;
}

}  // namespace tvx
