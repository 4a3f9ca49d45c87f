#pragma once
// The rows of the parameters grid, without a widget: what each row holds,
// the builder the parameters page fills the grid with, the readers it takes
// the values back with, and the edits an in-place editor (or the command-line
// front end) makes to a row.
//
// Labels and values are UTF-8.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

// Editor classes.
inline constexpr int32_t kEditorLista = 0;  // drop-down list
inline constexpr int32_t kEditorTexto = 1;  // (masked) text box
inline constexpr int32_t kEditorCheck = 7;  // check box
inline constexpr int32_t kEditorIp = 8;     // IP address box
inline constexpr int32_t kEditorGrupo = 9;  // group title, no editor

// Refinements. Text boxes: 13 IPv4 address text, 15 masked, anything else
// plain. Drop-down lists: 4 the choices carry values, -1 they do not.
inline constexpr int32_t kTipoTexto = 0;
inline constexpr int32_t kTipoIpTexto = 13;
inline constexpr int32_t kTipoMascara = 15;
inline constexpr int32_t kTipoComValores = 4;
inline constexpr int32_t kTipoSemValores = -1;

inline constexpr char kSeparadorEscolhas = '|';

struct cPropertyItem {
    std::string value;  // shown in the value cell, edited by the text editors
    std::string mask;   // input mask of a masked text row
    uint32_t data = 0;  // check state, or the value of the selected choice
    std::string name;   // row label
    int32_t editor = kEditorTexto;
    int32_t kind = kTipoTexto;
    std::string choices;                 // each choice text followed by '|'
    std::vector<uint32_t> choiceValues;  // one value per choice; empty: no values
    uint8_t sortChoices = 1;             // the drop-down gets the sorted style
};

// One entry of a drop-down editor.
struct EntradaEscolha {
    std::string texto;   // without the bar
    uint32_t valor = 0;  // 0 when the row's choices carry no value for it
};

// The entries of a choice row, in order, split at the bars. A last text
// without a closing bar still counts as an entry.
std::vector<EntradaEscolha> EntradasEscolha(const cPropertyItem& linha);

// Where the drop-down editor of a choice row opens, as an index into the
// editor's list, whose entry 0 is the empty entry (value 0) and entry i + 1
// the entry i of EntradasEscolha(). The entry whose value is data and whose
// text is the shown value; else the last entry whose value is data; else the
// entry whose text matches the shown value (case-insensitive); else 0.
size_t IndiceInicialEditor(const cPropertyItem& linha);

// Label comparison of the grid: exact, but without regard to case for ASCII
// letters, the Latin-1 letters (À..Þ against à..þ, not × and ÷) and the
// Windows-1252 pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ, as the labels' code page compares them.
bool MesmoRotulo(std::string_view a, std::string_view b);

class cPropertyRows {
  public:
    // ---- builder: each call appends one row, a copy of the template with
    // the fields the operation sets; every other field keeps the value of
    // the row added before it.
    void AddGroup(std::string_view titulo);
    void AddCheck(std::string_view nome, bool marcado);
    void AddText(std::string_view nome, std::string_view valor);
    void AddNumber(std::string_view nome, int32_t numero);
    // The address as "%d.%d.%d.%d", lowest byte first.
    void AddIpText(std::string_view nome, uint32_t endereco);
    void AddIpControl(std::string_view nome, std::string_view texto);
    void AddMaskedText(std::string_view nome, std::string_view valor, std::string_view mascara);
    // valores null: the choices carry no values (kind -1) and the shown value
    // stays empty. Otherwise the shown value is the first choice whose value
    // is selecionado, empty when none is.
    void AddChoice(std::string_view nome, uint32_t selecionado, std::string_view escolhas,
                   const std::vector<uint32_t>* valores);
    // With the choices gathered by BeginChoices / AppendChoice.
    void AddChoice(std::string_view nome, uint32_t selecionado);

    // Starts a new set of choices, holding at most capacidade of them.
    void BeginChoices(size_t capacidade);
    // Dropped once the capacity is reached.
    void AppendChoice(std::string_view texto, uint32_t valor);
    const std::string& ChoiceText() const { return textoEscolhas_; }
    const std::vector<uint32_t>& ChoiceValues() const { return valoresEscolhas_; }

    void SetSortChoices(bool ordenar) { modelo_.sortChoices = ordenar ? 1 : 0; }
    // Removes every row. The template is kept.
    void ResetContent() { linhas_.clear(); }

    // ---- readers, by label (see MesmoRotulo); the first matching row wins
    std::string GetText(std::string_view nome) const;
    // 0 when no such row; the value of the selected choice for a choice row
    // with values; the address value for an IPv4 text row; otherwise the
    // leading decimal number of the value (white space, an optional sign,
    // digits; 0 when there are none; held at the limits of 32 bits).
    int32_t GetNumber(std::string_view nome) const;
    // As GetNumber, but the value read as an unsigned number: a sign other
    // than '+' gives 0, and values above 4294967295 give 4294967295.
    uint32_t GetUnsigned(std::string_view nome) const;
    bool GetCheck(std::string_view nome) const;

    // ---- rows
    std::optional<size_t> Procurar(std::string_view nome) const;
    size_t Quantidade() const { return linhas_.size(); }
    const cPropertyItem* Linha(size_t indice) const;
    const std::vector<cPropertyItem>& Linhas() const { return linhas_; }

    // ---- edits, as the in-place editors make them. False (and no change)
    // for a missing row or a row of another editor.
    // Text box: a masked row takes the text through its mask, as the box
    // shows it; any other text row takes it as is.
    bool EditarTexto(size_t indice, std::string_view texto);
    // IP address box: the dotted text.
    bool EditarEndereco(size_t indice, std::string_view texto);
    // Check box: a click toggles; DefinirCheck sets.
    bool AlternarCheck(size_t indice);
    bool DefinirCheck(size_t indice, bool marcado);
    // Drop-down list: entrada indexes the editor's list (0 the empty entry,
    // i + 1 the entry i of EntradasEscolha). The value becomes the entry's
    // text and, for a row with values, data the entry's value; then the
    // choice observer is told.
    bool Escolher(size_t indice, size_t entrada);

    // Told after a choice was picked, with a copy of the row: the observer
    // may rebuild the rows.
    std::function<void(const cPropertyItem&)> aoEscolher;

  private:
    void Adicionar();
    cPropertyItem* LinhaEditavel(size_t indice, int32_t editor);

    std::vector<cPropertyItem> linhas_;
    cPropertyItem modelo_;
    std::string textoEscolhas_;
    std::vector<uint32_t> valoresEscolhas_;
    size_t capacidadeEscolhas_ = 0;
};

}  // namespace tvx
