#pragma once
// Page 3: the new address, mask and gateway and the model's further settings.
#include <memory>

#include "core/equipamento.h"
#include "paginas/propriedades.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"

namespace Ui {
class DlgIpMsGw;
}

namespace tvx {

class cPropertyList;

inline constexpr const char* kTituloPaginaParametros = "TVXNetCfg - v19.1.3 - Configuração";

class cDlgIpMsGw : public cPaginaAssistente {
    Q_OBJECT
  public:
    explicit cDlgIpMsGw(cEquipamento& equipamento, QWidget* parent = nullptr);
    ~cDlgIpMsGw() override;

    bool validatePage() override;
    Ui::DlgIpMsGw& Controles() { return *ui_; }
    cPropertyRows& Linhas() { return linhas_; }
    cPropertyList& Lista() { return *lista_; }

  protected:
    void OnShowWindow(bool mostrar) override;

  private:
    void Reconstruir();

    cEquipamento& equipamento_;
    std::unique_ptr<Ui::DlgIpMsGw> ui_;
    cAvisosQt avisos_;
    cPropertyRows linhas_;
    cPropertyList* lista_;
};

}  // namespace tvx
