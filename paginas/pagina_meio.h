#pragma once
// What the communication medium page decides without widgets: the contents of
// its three lists, which entry a stored value selects, which controls a model
// and medium show, and what Next writes into the equipment object.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/equipamento.h"
#include "paginas/avisos.h"

namespace tvx {

inline constexpr const char* kAvisoSelecioneMeio = "Selecione um meio de comunicação.";
inline constexpr const char* kTextoPaginaMeio =
    "Escolha o meio de comunicação ( IP ou serial quando dísponível) que será usado para "
    "programar o equipamento.\n Não use valores iniciados com 0.Ex:Em vez de 192.010.012.001 use "
    "192.10.12.1";

struct EntradaLista {
    std::string texto;
    uint32_t dado = 0;  // the entry's item data: rate code or RTU number
};

// "4800" (5), "9600" (6), "19200" (8), "38400" (9), in this order.
std::vector<EntradaLista> ListaVelocidades();
// "000" .. "255" with their numbers; sorted text order is numeric order.
std::vector<EntradaLista> ListaRtus();

// The names of the computer's serial ports as the sorted port list shows
// them. A discovery failure is shown as an error box and gives no ports.
std::vector<std::string> ListaPortas(cAvisos& avisos,
                                     const std::string& raizSysfs = "/sys/class/tty");

// The first entry, counted from the top, whose text begins with prefixo,
// letters compared without regard to case.
std::optional<size_t> PrimeiraComPrefixo(const std::vector<std::string>& textos,
                                         std::string_view prefixo);
// The port entry the list opens on for the stored name: the entry the serial
// layer opens as the same device (a Windows profile's COM3 is ttyS2), else
// the one of the same name in other letter case, else, for no name, the
// first. A stored port that is not listed selects nothing.
std::optional<size_t> PosicaoDaPorta(const std::vector<std::string>& portas,
                                     const std::string& armazenada);
// What Next commits for the port: the stored name while the entry shown
// stands for the same device or no entry is shown, else the entry. A port
// the technician did not change is never renamed or erased.
std::string PortaConfirmada(const std::optional<std::string>& entrada,
                            const std::string& armazenada);
// The rate entry that the channel's rate code selects, if any.
std::optional<size_t> PosicaoVelocidade(uint8_t codigo);

struct VisibilidadeMeio {
    bool ipPadrao = false;       // "IP Default (192.168.0.101)"
    bool esteIp = false;         // "Este IP"
    bool campoIp = false;        // the address field of "Este IP"
    bool serial = false;         // "Serial"
    bool porta = false;          // "Porta COM" and its list
    bool velocidadeRtu = false;  // "Velocidade", "RTU" and their lists
};

// The page's refresh: estado (the medium the radio buttons show) becomes meio
// at once; a model without a serial link turns a serial meio back into the
// factory address, estado included. Says which controls are visible.
VisibilidadeMeio AtualizarMeio(cEquipamento& equipamento, uint32_t& estado);

struct EscolhaMeio {
    std::optional<uint32_t> marcado;    // the checked radio button, hidden ones included
    std::string ipCampo;                // text of the address field
    std::optional<std::string> porta;   // text of the selected port entry
    std::optional<uint8_t> velocidade;  // item data of the selected rate entry
    std::optional<uint8_t> rtu;         // item data of the selected RTU entry
};

// Next. False, after the box, when no medium is checked; otherwise the choice,
// the address, the serial settings of every medium, and the save.
bool ConfirmarMeio(cEquipamento& equipamento, const EscolhaMeio& escolha, uint32_t& estado,
                   cAvisos& avisos);

}  // namespace tvx
