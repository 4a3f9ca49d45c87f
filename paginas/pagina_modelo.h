#pragma once
// What the model page decides without widgets: which entries the model list
// holds and in which order, which entry stands for the current model, what a
// choice of entry does to the equipment object, and what Next and a chosen
// configuration file do.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "paginas/avisos.h"

namespace tvx {

inline constexpr const char* kCabecalhoModeloOriginal =
    "Escolha um modelo de equipamento para a programação de IP.";
inline constexpr const char* kCabecalhoModelo =
    "Escolha um modelo de equipamento para a programação de IP ou outras funções.";
inline constexpr const char* kAvisoSelecioneEquipamento = "Selecione um equipamento";
inline constexpr const char* kAvisoSemInformacoes =
    "Equipamento não possui informações para configuração.";
inline constexpr const char* kTituloDialogoConfiguracao = "Configuração de IP";
inline constexpr const char* kFiltroConfiguracao = "Todas as configurações de IP (*.ini)";

struct EntradaModelo {
    std::string nome;
    uint32_t indice = 0;  // catalogue index: the position in the list says nothing about it
};

// The order of a sorted list box: case-insensitive, ties keep their order.
bool AntesNaLista(const std::string& a, const std::string& b);

// Catalogue rows 1, 2, ... for as long as the catalogue names them, sorted.
std::vector<EntradaModelo> ListaModelos();

// The entry whose text equals the name of modelo; none for a model the
// catalogue does not name or does not list (row 0).
std::optional<size_t> PosicaoDoModelo(const std::vector<EntradaModelo>& lista, uint32_t modelo);

// A change of the list's selection. Returns the instruction text to show, or
// nothing when the choice was refused (the box has been shown and modelo is
// left as it was).
std::optional<std::string> EscolherModelo(cEquipamento& equipamento, std::optional<uint32_t> indice,
                                          cAvisos& avisos);

// Next: the catalogue row of the current model into the object, then the
// save (a failed save is told through avisos).
void ConfirmarModelo(cEquipamento& equipamento, cAvisos& avisos);

// A file picked with "Ler Configuração": from now on every load and save of
// this run uses it. An empty path (the dialog was cancelled) changes nothing,
// and so does a file that cannot be read (told through avisos).
void LerConfiguracaoEscolhida(cEquipamento& equipamento, const std::string& caminho,
                              cAvisos& avisos);

}  // namespace tvx
