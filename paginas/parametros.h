#pragma once
// What the parameters page decides without widgets: which rows the grid holds
// for the chosen model (built from the equipment object), what a change of
// the gateway function does, and how Next reads every row back, checks it and
// writes it into the equipment object. Also the one-row edit by label that
// the headless front end uses for its --param options.
//
// The commit does not save the configuration file: the caller saves it after
// a successful commit, as the wizard's Next does.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/equipamento.h"
#include "paginas/avisos.h"
#include "paginas/propriedades.h"

namespace tvx {

inline constexpr const char* kCabecalhoParametros =
    "Digite o IP e/ou os parametros desejados.\nSe não souber o Gateway, preencha com 0.";

// Labels read back by the commit (and accepted by --param).
inline constexpr const char* kRotuloAlterarIp = "Alterar IP?";
inline constexpr const char* kRotuloIp = "IP";
inline constexpr const char* kRotuloMascara = "Máscara";
inline constexpr const char* kRotuloGateway = "Gateway";
inline constexpr const char* kRotuloFaixaRtu = "Faixa de RTU";
inline constexpr const char* kRotuloFuncaoGateway = "Função Gateway Universal";
inline constexpr const char* kRotuloIpGatewayRx = "IP do Gateway RX";
inline constexpr const char* kRotuloRtuIonPrincipal = "RTU do ION Principal";
inline constexpr const char* kRotuloRtuIonRetaguarda = "RTU do ION Retaguarda";
inline constexpr const char* kRotuloRtuTvx940 = "RTU do TVX940";
inline constexpr const char* kRotuloVelocidade = "Velocidade";
inline constexpr const char* kRotuloRtu = "RTU";
inline constexpr const char* kRotuloMac = "MAC (xx:xx:xx:xx:xx:xx)";
inline constexpr const char* kRotuloIdTelemetria = "ID (Telemetria 12 caracteres)";
inline constexpr const char* kRotuloCelularSms = "Celular SMS (Alarme de Conexão)";
inline constexpr const char* kRotuloOperadora = "Operadora de Celular (Telemetria)";
inline constexpr const char* kRotuloUrl = "URL (Telemetria)";
inline constexpr const char* kRotuloTempoReconexao = "Tempo de Reconexão (1 ~ 240 min)";
inline constexpr const char* kRotuloTipoMedidor = "Tipo de Medidor";
inline constexpr const char* kRotuloRtuMedidorIon = "RTU Medidor ION";

inline constexpr const char* kMascaraMac = "02:B4:6D:**:**:**";
inline constexpr const char* kMascaraIdTelemetria = "############";

// Refusals and the notice of the commit.
inline constexpr const char* kErroIp = "IP inválido";
inline constexpr const char* kErroMascara = "Máscara inválida";
inline constexpr const char* kErroIpGatewayRx = "IP do Gateway RX inválido";
inline constexpr const char* kErroRtuTvx940 = "RTU do TVX940";
inline constexpr const char* kErroMac = "MAC inválido";
inline constexpr const char* kErroRtuZero = "RTU não pode ser 0";
inline constexpr const char* kErroTamanhoId = "Tamanho do ID de Telemetria diferente de 12";
inline constexpr const char* kErroTempoReconexao = "O tempo de reconexão deve ser de 1 a 240min!";
inline constexpr const char* kAvisoTelemetriaDesabilitada = "A Telemetria será desabilitada!";

// Whether the page shows its header text: not for a model without IP
// programming (family 0).
bool MostraCabecalhoParametros(const cEquipamento& equipamento);

// Empties the rows and builds them from the equipment object. For the Modbus
// gateway (family 15) it also puts the meter-table step into the model's
// first step slot.
void ConstruirParametros(cEquipamento& equipamento, cPropertyRows& linhas);

// The grid's change notification. A new gateway function is stored and the
// rows are rebuilt at once, so that the function's own rows appear; true
// then. Any other row is left to the grid.
bool EscolhaParametro(cEquipamento& equipamento, cPropertyRows& linhas, const cPropertyItem& linha);

// Next without the save: reads every row back into the equipment object, in
// the page's order. The first refusal is shown through avisos and stops the
// commit (false); what was read before it stays in the object. A notice is
// shown and the commit goes on.
//
// A new address that would take the device off the network (a blank or
// 0.0.0.0 "IP", a blank "Máscara") is refused when the model programs one;
// enderecoNovoUsado false skips that for a caller that will only read the
// device (the headless front end's read).
bool ConfirmarParametros(cEquipamento& equipamento, const cPropertyRows& linhas, cAvisos& avisos,
                         bool enderecoNovoUsado = true);

// The text an IP address box holds for a typed address: four numbers of 0 to
// 255 with dots between them, written without leading zeros; an empty text
// stays empty (a blank box). Nothing for anything else.
std::optional<std::string> TextoDoCampoIp(std::string_view texto);

// The label of the check row that ticks an extra step ("Alterar MAC?"), or
// nullptr for a step without one.
const char* RotuloDoPasso(uint8_t id);

// Whether the row of that label holds a number (typed as digits) rather
// than a text: the grid shows both as text.
bool LinhaNumerica(std::string_view rotulo);

// Sets the row whose label equals rotulo (see MesmoRotulo) from a text, as the
// row's editor would: a check row takes 0 or 1; a choice row the text of one
// of its entries (letter case aside) or that entry's code, and tells the
// grid's choice observer (an empty text picks the editor's empty entry); an address row a dotted
// address; a masked row the text through its mask; any other row the text. False, with the reason
// in erro, when there is no such row or the text does not fit it.
bool AplicarParametro(cPropertyRows& linhas, std::string_view rotulo, std::string_view valor,
                      std::string& erro);

}  // namespace tvx
