#pragma once
// Page 2: how the program reaches the equipment — the factory address, a
// typed address, or a serial port with its rate and RTU address.
#include <array>
#include <memory>
#include <string>

#include "core/equipamento.h"
#include "paginas/pagina_meio.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"

class QRadioButton;

namespace Ui {
class DlgMeioComunicacao;
}

namespace tvx {

inline constexpr const char* kTituloPaginaMeio =
    "TVXNetCfg - v19.1.3 - Escolha do meio de comunicação";

class cDlgMeioComunicacao : public cPaginaAssistente {
    Q_OBJECT
  public:
    explicit cDlgMeioComunicacao(cEquipamento& equipamento, QWidget* parent = nullptr);
    ~cDlgMeioComunicacao() override;

    bool validatePage() override;
    Ui::DlgMeioComunicacao& Controles() { return *ui_; }
    uint32_t Estado() const { return estado_; }
    // Where the port discovery looks; set before the page is first shown.
    void DefinirRaizPortas(const std::string& raiz) { raizPortas_ = raiz; }

  protected:
    void OnInitDialog() override;
    void OnShowWindow(bool mostrar) override;

  private:
    void AoClicarMeio(uint32_t meio);
    void Atualizar();
    void MarcarRadios();

    cEquipamento& equipamento_;
    std::unique_ptr<Ui::DlgMeioComunicacao> ui_;
    cAvisosQt avisos_;
    std::array<QRadioButton*, 3> radios_{};
    uint32_t estado_ = 0;  // the medium the radio buttons show
    std::string raizPortas_ = "/sys/class/tty";
};

}  // namespace tvx
