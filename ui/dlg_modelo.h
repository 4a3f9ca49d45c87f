#pragma once
// Page 1: the equipment model, its instructions, and a saved configuration.
#include <memory>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "paginas/pagina_modelo.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"

namespace Ui {
class DlgModelo;
}

namespace tvx {

inline constexpr const char* kTituloPaginaModelo = "TVXNetCfg - v19.1.3 - Escolha do modelo";

class cDlgModelo : public cPaginaAssistente {
    Q_OBJECT
  public:
    explicit cDlgModelo(cEquipamento& equipamento, QWidget* parent = nullptr);
    ~cDlgModelo() override;

    bool validatePage() override;
    Ui::DlgModelo& Controles() { return *ui_; }
    // Where "Ler Configuração" opens; empty for the working directory.
    void DefinirPastaConfiguracao(const std::string& pasta) { pastaConfiguracao_ = pasta; }

  protected:
    void OnInitDialog() override;
    void OnShowWindow(bool mostrar) override;

  private:
    void AoMudarSelecao();
    void AoLerConfiguracao();
    // The plan window, on a plan file the technician picks.
    void AoAbrirPlano();
    void SelecionarModeloAtual();

    cEquipamento& equipamento_;
    std::unique_ptr<Ui::DlgModelo> ui_;
    cAvisosQt avisos_;
    std::string pastaConfiguracao_;
};

}  // namespace tvx
