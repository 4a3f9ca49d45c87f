#include "paginas/propriedades.h"

#include <charconv>
#include <limits>

#include "core/texto.h"
#include "core/utilitarios.h"
#include "paginas/mascara_edicao.h"

namespace tvx {

namespace {

// Next code point of a UTF-8 text for label comparison. A byte that does not
// start a valid sequence stands for itself, above the Unicode range, so two
// broken labels are only equal when their bytes are.
char32_t ProximoCaractere(std::string_view texto, size_t& i) {
    const size_t inicio = i;
    const char32_t c = ProximoCaractereUtf8(texto, i);
    if (c != kCaractereInvalido) {
        return c;
    }
    i = inicio + 1;
    return 0x110000 + static_cast<unsigned char>(texto[inicio]);
}

char32_t Minuscula(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 0x20;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 0x20;
    }
    switch (c) {
        case 0x0160:  // Š
            return 0x0161;
        case 0x0152:  // Œ
            return 0x0153;
        case 0x017D:  // Ž
            return 0x017E;
        case 0x0178:  // Ÿ
            return 0x00FF;
        default:
            return c;
    }
}

bool EspacoC(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Leading decimal number as the runtime's conversions read it: white space,
// an optional sign, digits. Held at the limits of 64 bits while reading.
struct NumeroLido {
    bool negativo = false;
    bool temDigitos = false;
    uint64_t magnitude = 0;
};

NumeroLido LerNumero(std::string_view texto) {
    NumeroLido n;
    size_t i = 0;
    while (i < texto.size() && EspacoC(texto[i])) {
        ++i;
    }
    if (i < texto.size() && (texto[i] == '+' || texto[i] == '-')) {
        n.negativo = texto[i] == '-';
        ++i;
    }
    constexpr uint64_t kTeto = std::numeric_limits<uint64_t>::max() / 10 - 9;
    while (i < texto.size() && texto[i] >= '0' && texto[i] <= '9') {
        n.temDigitos = true;
        if (n.magnitude < kTeto) {
            n.magnitude = n.magnitude * 10 + static_cast<uint64_t>(texto[i] - '0');
        }
        ++i;
    }
    return n;
}

std::string Decimal(int32_t numero) {
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, numero);
    return std::string(buffer, r.ptr);
}

}  // namespace

bool MesmoRotulo(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (Minuscula(ProximoCaractere(a, i)) != Minuscula(ProximoCaractere(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

std::vector<EntradaEscolha> EntradasEscolha(const cPropertyItem& linha) {
    std::vector<EntradaEscolha> entradas;
    const std::string_view texto = linha.choices;
    size_t inicio = 0;
    while (inicio < texto.size()) {
        size_t fim = texto.find(kSeparadorEscolhas, inicio);
        if (fim == std::string_view::npos) {
            fim = texto.size();
        }
        EntradaEscolha entrada;
        entrada.texto = std::string(texto.substr(inicio, fim - inicio));
        const size_t n = entradas.size();
        entrada.valor = n < linha.choiceValues.size() ? linha.choiceValues[n] : 0;
        entradas.push_back(std::move(entrada));
        inicio = fim + 1;
    }
    return entradas;
}

size_t IndiceInicialEditor(const cPropertyItem& linha) {
    const std::vector<EntradaEscolha> entradas = EntradasEscolha(linha);
    // When several entries share a value (operator codes 5 and 6), the
    // editor opens on the one the cell shows.
    if (!linha.value.empty()) {
        for (size_t i = 0; i < entradas.size(); ++i) {
            if (entradas[i].valor == linha.data && entradas[i].texto == linha.value) {
                return i + 1;
            }
        }
    }
    for (size_t i = entradas.size(); i > 0; --i) {
        if (entradas[i - 1].valor == linha.data) {
            return i;
        }
    }
    // The empty entry carries 0, and is also the one an empty text finds.
    if (linha.data == 0 || linha.value.empty()) {
        return 0;
    }
    for (size_t i = 0; i < entradas.size(); ++i) {
        if (MesmoRotulo(entradas[i].texto, linha.value)) {
            return i + 1;
        }
    }
    return 0;
}

void cPropertyRows::Adicionar() {
    linhas_.push_back(modelo_);
    if (modelo_.editor == kEditorTexto) {
        modelo_.kind = kTipoTexto;
    }
}

void cPropertyRows::AddGroup(std::string_view titulo) {
    modelo_.name = std::string(titulo);
    modelo_.editor = kEditorGrupo;
    Adicionar();
}

void cPropertyRows::AddCheck(std::string_view nome, bool marcado) {
    modelo_.name = std::string(nome);
    modelo_.editor = kEditorCheck;
    modelo_.kind = kTipoTexto;
    modelo_.data = marcado ? 1 : 0;
    Adicionar();
}

void cPropertyRows::AddText(std::string_view nome, std::string_view valor) {
    modelo_.name = std::string(nome);
    modelo_.value = std::string(valor);
    modelo_.editor = kEditorTexto;
    modelo_.kind = kTipoTexto;
    Adicionar();
}

void cPropertyRows::AddNumber(std::string_view nome, int32_t numero) {
    modelo_.name = std::string(nome);
    modelo_.value = Decimal(numero);
    modelo_.editor = kEditorTexto;
    modelo_.kind = kTipoTexto;
    Adicionar();
}

void cPropertyRows::AddIpText(std::string_view nome, uint32_t endereco) {
    modelo_.name = std::string(nome);
    modelo_.value = IpParaTexto(endereco, true);
    modelo_.editor = kEditorTexto;
    modelo_.kind = kTipoIpTexto;
    Adicionar();
}

void cPropertyRows::AddIpControl(std::string_view nome, std::string_view texto) {
    modelo_.name = std::string(nome);
    modelo_.value = std::string(texto);
    modelo_.editor = kEditorIp;
    Adicionar();
}

void cPropertyRows::AddMaskedText(std::string_view nome, std::string_view valor,
                                  std::string_view mascara) {
    modelo_.name = std::string(nome);
    modelo_.value = std::string(valor);
    modelo_.mask = std::string(mascara);
    modelo_.editor = kEditorTexto;
    modelo_.kind = kTipoMascara;
    Adicionar();
}

void cPropertyRows::AddChoice(std::string_view nome, uint32_t selecionado,
                              std::string_view escolhas, const std::vector<uint32_t>* valores) {
    modelo_.name = std::string(nome);
    modelo_.editor = kEditorLista;
    modelo_.data = selecionado;
    modelo_.choices = std::string(escolhas);
    if (valores != nullptr) {
        modelo_.choiceValues = *valores;
        modelo_.kind = kTipoComValores;
    } else {
        modelo_.choiceValues.clear();
        modelo_.kind = kTipoSemValores;
    }
    modelo_.value.clear();
    if (valores != nullptr) {
        for (const EntradaEscolha& entrada : EntradasEscolha(modelo_)) {
            if (entrada.valor == selecionado) {
                modelo_.value = entrada.texto;
                break;
            }
        }
    }
    Adicionar();
}

void cPropertyRows::AddChoice(std::string_view nome, uint32_t selecionado) {
    AddChoice(nome, selecionado, textoEscolhas_, &valoresEscolhas_);
}

void cPropertyRows::BeginChoices(size_t capacidade) {
    textoEscolhas_.clear();
    valoresEscolhas_.clear();
    capacidadeEscolhas_ = capacidade;
}

void cPropertyRows::AppendChoice(std::string_view texto, uint32_t valor) {
    if (valoresEscolhas_.size() >= capacidadeEscolhas_) {
        return;
    }
    textoEscolhas_.append(texto);
    textoEscolhas_.push_back(kSeparadorEscolhas);
    valoresEscolhas_.push_back(valor);
}

std::optional<size_t> cPropertyRows::Procurar(std::string_view nome) const {
    for (size_t i = 0; i < linhas_.size(); ++i) {
        if (MesmoRotulo(linhas_[i].name, nome)) {
            return i;
        }
    }
    return std::nullopt;
}

const cPropertyItem* cPropertyRows::Linha(size_t indice) const {
    return indice < linhas_.size() ? &linhas_[indice] : nullptr;
}

std::string cPropertyRows::GetText(std::string_view nome) const {
    const auto i = Procurar(nome);
    return i ? linhas_[*i].value : std::string();
}

int32_t cPropertyRows::GetNumber(std::string_view nome) const {
    const auto i = Procurar(nome);
    if (!i) {
        return 0;
    }
    const cPropertyItem& linha = linhas_[*i];
    if (linha.editor == kEditorLista && linha.kind == kTipoComValores) {
        return static_cast<int32_t>(linha.data);
    }
    if (linha.editor == kEditorTexto && linha.kind == kTipoIpTexto) {
        return static_cast<int32_t>(TextoParaIp(linha.value));
    }
    const NumeroLido n = LerNumero(linha.value);
    if (n.negativo) {
        constexpr uint64_t kLimite = uint64_t{1} << 31;
        return n.magnitude >= kLimite ? std::numeric_limits<int32_t>::min()
                                      : -static_cast<int32_t>(n.magnitude);
    }
    return n.magnitude > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(n.magnitude);
}

uint32_t cPropertyRows::GetUnsigned(std::string_view nome) const {
    const auto i = Procurar(nome);
    if (!i) {
        return 0;
    }
    const cPropertyItem& linha = linhas_[*i];
    if (linha.editor == kEditorTexto && linha.kind == kTipoIpTexto) {
        return TextoParaIp(linha.value);
    }
    const NumeroLido n = LerNumero(linha.value);
    if (n.negativo) {
        return 0;
    }
    return n.magnitude > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                              : static_cast<uint32_t>(n.magnitude);
}

bool cPropertyRows::GetCheck(std::string_view nome) const {
    const auto i = Procurar(nome);
    return i && linhas_[*i].data != 0;
}

cPropertyItem* cPropertyRows::LinhaEditavel(size_t indice, int32_t editor) {
    if (indice >= linhas_.size() || linhas_[indice].editor != editor) {
        return nullptr;
    }
    return &linhas_[indice];
}

bool cPropertyRows::EditarTexto(size_t indice, std::string_view texto) {
    cPropertyItem* linha = LinhaEditavel(indice, kEditorTexto);
    if (linha == nullptr) {
        return false;
    }
    if (linha->kind == kTipoMascara && !linha->mask.empty()) {
        MascaraEdicao caixa;
        caixa.DefinirMascara(std::string_view(linha->mask));
        linha->value = caixa.DefinirTexto(texto);
    } else {
        linha->value = std::string(texto);
    }
    return true;
}

bool cPropertyRows::EditarEndereco(size_t indice, std::string_view texto) {
    cPropertyItem* linha = LinhaEditavel(indice, kEditorIp);
    if (linha == nullptr) {
        return false;
    }
    linha->value = std::string(texto);
    return true;
}

bool cPropertyRows::AlternarCheck(size_t indice) {
    cPropertyItem* linha = LinhaEditavel(indice, kEditorCheck);
    if (linha == nullptr) {
        return false;
    }
    linha->data = linha->data != 0 ? 0 : 1;
    return true;
}

bool cPropertyRows::DefinirCheck(size_t indice, bool marcado) {
    cPropertyItem* linha = LinhaEditavel(indice, kEditorCheck);
    if (linha == nullptr) {
        return false;
    }
    linha->data = marcado ? 1 : 0;
    return true;
}

bool cPropertyRows::Escolher(size_t indice, size_t entrada) {
    cPropertyItem* linha = LinhaEditavel(indice, kEditorLista);
    if (linha == nullptr) {
        return false;
    }
    const std::vector<EntradaEscolha> entradas = EntradasEscolha(*linha);
    if (entrada > entradas.size()) {
        return false;
    }
    const std::string texto = entrada == 0 ? std::string() : entradas[entrada - 1].texto;
    const uint32_t valor = entrada == 0 ? 0 : entradas[entrada - 1].valor;
    linha->value = texto;
    if (linha->kind == kTipoComValores) {
        linha->data = valor;
    }
    // The observer gets a copy: it may empty and rebuild the rows.
    const cPropertyItem copia = *linha;
    if (aoEscolher) {
        aoEscolher(copia);
    }
    return true;
}

}  // namespace tvx
