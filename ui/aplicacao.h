#pragma once
// The program: the configuration loaded into the equipment object, then the
// four-page wizard run modally until it closes.
#include <QWizard>

#include "core/equipamento.h"
#include "persistence/locais.h"

namespace tvx {

class cDlgModelo;
class cDlgMeioComunicacao;
class cDlgIpMsGw;
class cDlgProgramar;

inline constexpr int kPaginaModelo = 0;
inline constexpr int kPaginaMeio = 1;
inline constexpr int kPaginaParametros = 2;
inline constexpr int kPaginaProgramar = 3;

class cAssistente : public QWizard {
    Q_OBJECT
  public:
    // locais: where the run keeps its log and where "Ler Configuração" opens.
    explicit cAssistente(cEquipamento& equipamento, const LocaisArquivos& locais = {},
                         QWidget* parent = nullptr);
    // The run stops, then the temporary address the programming page added
    // (if any) goes: it lasts as long as the wizard.
    ~cAssistente() override;

    cDlgModelo* PaginaModelo() const { return modelo_; }
    cDlgMeioComunicacao* PaginaMeio() const { return meio_; }
    cDlgIpMsGw* PaginaParametros() const { return parametros_; }
    cDlgProgramar* PaginaProgramar() const { return programar_; }

  private:
    void AoAtivarPagina(int id);

    cDlgModelo* modelo_;
    cDlgMeioComunicacao* meio_;
    cDlgIpMsGw* parametros_;
    cDlgProgramar* programar_;
};

class cAplicacao {
  public:
    // Removes what a killed earlier run left on the network, loads the
    // configuration, runs the wizard modally, and returns false: the program
    // ends when the wizard closes. SIGTERM, SIGINT and SIGHUP close it too,
    // after the temporary address went.
    bool InitInstance();
};

}  // namespace tvx
