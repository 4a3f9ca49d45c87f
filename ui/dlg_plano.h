#pragma once
// The plan window, opened from page 1: a plan's devices with their states,
// the question before each device, its progress box, and the buttons that
// answer the question. What happens is decided by the plan engine (plano/);
// the window shows it and passes the technician's answers on.
#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>

#include "plano/execucao_plano.h"
#include "ui/mensagens.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tvx {

inline constexpr const char* kTituloPlano = "TVXNetCfg - Plano de equipamentos";
inline constexpr const char* kFiltroPlano = "Planos de equipamentos (*.csv)";

class cDlgPlano : public QDialog, public plano::cObservadorPlano {
    Q_OBJECT
  public:
    explicit cDlgPlano(QWidget* parent = nullptr);
    // A device still running is stopped and waited for.
    ~cDlgPlano() override;

    // Reads, checks and takes the plan; false after a box with the errors.
    bool AbrirPlano(const std::string& caminho);

    plano::cExecucaoPlano* Execucao() { return execucao_.get(); }
    QTableWidget* Tabela() { return tabela_; }
    QLabel* Pergunta() { return pergunta_; }
    QPlainTextEdit* Caixa() { return caixa_; }
    QPushButton* BotaoContinuar() { return continuar_; }
    QPushButton* BotaoPular() { return pular_; }
    QPushButton* BotaoRepetir() { return repetir_; }
    QPushButton* BotaoParar() { return parar_; }
    QPushButton* BotaoRelatorio() { return relatorio_; }

    // cObservadorPlano
    void Linha(size_t indice, const std::string& texto) override;
    void AntesDoEquipamento(size_t indice, const cEquipamento& equipamento, uint32_t acao) override;
    void Mudou() override;
    void Aviso(const std::string& texto) override;

  protected:
    // Closing while a device runs stops it first; the window stays until it has.
    void reject() override;

  private:
    void Continuar();
    void Pular();
    void Repetir();
    void Parar();
    void Relatorio();
    void Acompanhar();
    void Atualizar();

    std::unique_ptr<plano::cExecucaoPlano> execucao_;
    QLabel* arquivo_ = nullptr;
    QTableWidget* tabela_ = nullptr;
    QLabel* pergunta_ = nullptr;
    QPlainTextEdit* caixa_ = nullptr;
    QPushButton* continuar_ = nullptr;
    QPushButton* pular_ = nullptr;
    QPushButton* repetir_ = nullptr;
    QPushButton* parar_ = nullptr;
    QPushButton* relatorio_ = nullptr;
    QTimer acompanhamento_;
    bool comecou_ = false;
};

}  // namespace tvx
