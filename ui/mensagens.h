#pragma once
// Every message box and the file-open dialog of the wizard go through the two
// functions here, so that tests (and the screenshot tool) can answer them.
#include <QString>
#include <functional>
#include <string>

#include "paginas/avisos.h"

class QWidget;

namespace tvx {

enum class IconeMensagem { Erro, Informacao, Pergunta };
enum class RespostaMensagem { Ok, Sim, Nao };

// dono: a widget of the window that owns the box (the wizard).
using FuncaoMensagem =
    std::function<RespostaMensagem(QWidget* dono, IconeMensagem icone, const QString& texto)>;
// Returns the chosen file's full path, or an empty text when cancelled.
using FuncaoAbrirArquivo = std::function<QString(QWidget* dono, const QString& titulo,
                                                 const QString& pasta, const QString& filtro)>;

// A box with the caption "TVXNetCfg", always on top, with the icon; a question
// has Yes and No.
RespostaMensagem MostrarMensagem(QWidget* dono, IconeMensagem icone, const QString& texto);
QString AbrirArquivo(QWidget* dono, const QString& titulo, const QString& pasta,
                     const QString& filtro);

// An empty function puts the real box or dialog back. Both return the previous one.
FuncaoMensagem DefinirFuncaoMensagem(FuncaoMensagem funcao);
FuncaoAbrirArquivo DefinirFuncaoAbrirArquivo(FuncaoAbrirArquivo funcao);

// The page logic's refusals and notices as message boxes owned by dono's window.
class cAvisosQt : public cAvisos {
  public:
    explicit cAvisosQt(QWidget* dono) : dono_(dono) {}
    void Mostrar(TipoAviso tipo, const std::string& texto) override;
    bool Perguntar(const std::string& texto) override;

  private:
    QWidget* dono_;
};

}  // namespace tvx
