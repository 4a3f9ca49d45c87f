#pragma once
// How page logic tells the technician something: the wizard shows a message
// box (caption "TVXNetCfg", topmost, with the icon of the kind), the headless
// front end prints the text. Page logic never shows anything itself.
#include <string>

namespace tvx {

enum class TipoAviso {
    Erro,        // a refusal of input
    Informacao,  // a notice
};

class cAvisos {
  public:
    virtual ~cAvisos() = default;
    virtual void Mostrar(TipoAviso tipo, const std::string& texto) = 0;
    // The same about one row of a page (its label in rotulo): the wizard
    // shows the text alone, as the box always did; the headless front end
    // also names the row and the option that fills it.
    virtual void MostrarSobre(TipoAviso tipo, const std::string& texto, const std::string& rotulo) {
        static_cast<void>(rotulo);
        Mostrar(tipo, texto);
    }
    // A question with Yes and No; true for Yes.
    virtual bool Perguntar(const std::string& texto) = 0;
};

inline constexpr const char* kTituloAvisos = "TVXNetCfg";

}  // namespace tvx
