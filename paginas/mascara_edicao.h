#pragma once
// The rules of the masked text box of the parameters grid, without a widget:
// a line edit forwards its key presses and its edited text here and shows the
// text and caret that come back.
//
// Mask characters: '#' a decimal digit, '$' a decimal digit or white space,
// '*' a letter or a digit, '?' a letter, 'X' a hexadecimal digit; any other
// character is a literal that is shown and skipped over. Letters and digits
// are the ASCII ones: what passes a mask ends up in a device field.
//
// Work is done in Unicode code points; carets count code points. The UTF-8
// entry points decode broken sequences as U+FFFD, so any input is safe.
#include <string>
#include <string_view>

#include "core/texto.h"

namespace tvx {

class MascaraEdicao {
  public:
    enum class Tecla { Outra, Backspace, Delete };

    struct Resultado {
        std::u32string texto;   // what the field must show
        int cursor = 0;         // where its caret goes
        bool alterado = false;  // false: leave the field as the user left it
    };
    struct ResultadoUtf8 {
        std::string texto;
        int cursor = 0;
        bool alterado = false;
    };

    static constexpr char32_t kMarcadorPadrao = U'_';

    // True for the five mask characters that take input.
    static bool PosicaoDeEntrada(char32_t caractereMascara);
    // Whether a mask character accepts c; a literal accepts nothing.
    static bool Aceita(char32_t caractereMascara, char32_t c);

    // Stores the mask and the placeholder. With a mask, the display becomes
    // the mask with every input position showing the placeholder; an empty
    // mask leaves the display as it is.
    void DefinirMascara(std::u32string mascara, char32_t marcador = kMarcadorPadrao);
    void DefinirMascara(std::string_view mascaraUtf8, char32_t marcador = kMarcadorPadrao);

    // Puts a text in the field through the mask: characters an input position
    // refuses are skipped, a placeholder keeps its input position empty,
    // literals already in the text are taken over, and positions the text
    // does not reach show the placeholder. A display put back through its
    // mask comes back unchanged. Without a mask the text is shown as is.
    // Returns the new display.
    const std::u32string& DefinirTexto(std::u32string_view texto);
    std::string DefinirTexto(std::string_view textoUtf8);

    // Key-press handler: remembers whether it was Backspace or Delete, for the
    // edit that the key causes.
    void AoPressionarTecla(Tecla tecla) { ultimaTecla_ = tecla; }

    // Text-edited handler: textoNoCampo is what the field holds after the
    // edit and cursor its caret. Without a mask, or when the field already
    // shows the display, nothing changes. Otherwise the edit is applied to the
    // display:
    //  - Backspace: the character at the caret returns to its literal or the
    //    placeholder; the caret goes just after the nearest input position
    //    before it (0 when there is none);
    //  - Delete: the same character returns; the caret goes to the first input
    //    position after it (the end when there is none);
    //  - any other key: the character just before the caret goes to the first
    //    input position at or after it if that position accepts it, and the
    //    caret to the next input position (the end when there is none); a
    //    refused character leaves the display and puts the caret on that input
    //    position (where it was, when no input position follows).
    Resultado AoEditar(const std::u32string& textoNoCampo, int cursor, Tecla tecla);
    Resultado AoEditar(const std::u32string& textoNoCampo, int cursor) {
        return AoEditar(textoNoCampo, cursor, ultimaTecla_);
    }
    ResultadoUtf8 AoEditar(std::string_view textoNoCampoUtf8, int cursor, Tecla tecla);

    const std::u32string& Mascara() const { return mascara_; }
    const std::u32string& Display() const { return display_; }
    std::string DisplayUtf8() const { return U32ParaUtf8(display_); }
    char32_t Marcador() const { return marcador_; }
    bool TemMascara() const { return !mascara_.empty(); }

  private:
    // The character a position shows when nothing was typed there.
    char32_t Vazio(size_t posicao) const;
    // First input position at or after inicio; mascara_.size() when none.
    size_t ProximaEntrada(size_t inicio) const;

    std::u32string mascara_;
    std::u32string display_;
    char32_t marcador_ = kMarcadorPadrao;
    Tecla ultimaTecla_ = Tecla::Outra;
};

}  // namespace tvx
