#pragma once
// Page 4: starts, stops and follows the programming, test and read runs, and
// keeps every progress line in its box and in the log file.
#include <QTimer>
#include <memory>
#include <string>

#include "core/equipamento.h"
#include "core/thread_programar.h"
#include "persistence/log.h"
#include "ui/mensagens.h"
#include "ui/pagina_assistente.h"
#include "ui/receptor_progresso.h"

namespace Ui {
class DlgProgramar;
}

namespace tvx {

inline constexpr const char* kTituloPaginaProgramar = "TVXNetCfg - v19.1.3 - Programação";
inline constexpr const char* kArquivoLogProgresso = "tvxnetcfg.log";
inline constexpr const char* kLinhaFinalizando = "Finalizando tarefas...";
inline constexpr const char* kLinhaFinalizadas = "Tarefas finalizadas.";
inline constexpr const char* kPerguntaEncerrar = "Deseja Encerrar?";
inline constexpr const char* kLinhasSoNaTela =
    "A execução continua; as linhas de progresso ficam só nesta janela.";

class cDlgProgramar : public cPaginaAssistente {
    Q_OBJECT
  public:
    explicit cDlgProgramar(cEquipamento& equipamento, QWidget* parent = nullptr);
    // Stops a running run and waits for it before anything else goes.
    ~cDlgProgramar() override;

    // The wizard's Finish.
    bool validatePage() override;
    void OnSetActive() override;

    Ui::DlgProgramar& Controles() { return *ui_; }
    cThreadProgramar& Trabalho() { return trabalho_; }
    // Where the runs post their lines.
    JanelaProgresso* Receptor() { return &receptor_; }
    // The page's own view of whether a run is active, as it last checked.
    bool ExecucaoAtiva() const { return ativa_; }
    // One line into the box (after a line break) and into the log.
    void AdicionaLinha(const std::string& texto);
    void DefinirArquivoLog(const std::string& arquivo) { log_.DefinirArquivo(arquivo); }

  protected:
    bool event(QEvent* evento) override;

  private:
    void IncluirProcesso(uint32_t mensagem, const LinhaProgresso& linha);
    void Iniciar(uint32_t acao);
    void PrepararRede(uint32_t acao);
    void Parar();
    void Limpar();
    void Acompanhar();
    void AtualizarVoltar();

    cEquipamento& equipamento_;
    std::unique_ptr<Ui::DlgProgramar> ui_;
    cAvisosQt avisos_;
    // Declared before the worker, so that it outlives it.
    cReceptorProgresso receptor_;
    cLog log_;
    cThreadProgramar trabalho_;
    QTimer acompanhamento_;
    bool ativa_ = false;
    bool falhaLogDita_ = false;
};

}  // namespace tvx
