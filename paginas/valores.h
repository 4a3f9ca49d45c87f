#pragma once
// The values of one device as a front end without windows has them (the
// headless front end's options, a row of a plan), put into the equipment
// object the way the wizard's pages 1 to 3 would put them: the model's
// catalogue row, the medium the model offers with its address and serial
// settings, and the parameters page's rows with the checks of its Next.
//
// The configuration file is neither loaded nor saved here: the caller has
// the object as it wants to start (a loaded profile, or the defaults).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "paginas/avisos.h"
#include "paginas/propriedades.h"

namespace tvx {

struct ValorLinha {
    std::string rotulo;  // a label of the parameters page
    std::string valor;
};

struct ValoresEquipamento {
    std::optional<uint32_t> modelo;  // else the object's
    std::optional<uint32_t> meio;    // else the object's, as the page shows it
    std::optional<std::string> endereco;
    std::optional<std::string> porta;
    std::optional<uint8_t> velocidade;  // rate code of the serial rate table
    std::optional<uint8_t> rtu;
    std::optional<std::string> ip;
    std::optional<std::string> mascara;
    std::optional<std::string> gateway;
    std::vector<ValorLinha> parametros;  // in order
    // False for a run that only reads the device: it sends no address, so a
    // blank new one is no reason to refuse it.
    bool enderecoNovoUsado = true;
};

// Which value a refusal is about.
enum class CampoValor { Modelo, Meio, Endereco, Ip, Mascara, Gateway, Parametro };

enum class TipoRecusa {
    ModeloInvalido,      // no catalogue model: the model page's box
    MeioInvalido,        // no medium: the medium page's box
    MeioNaoOferecido,    // the model does not offer the medium asked for
    EnderecoForaDoMeio,  // an address given for a medium other than "Este IP"
    FaltaEndereco,       // "Este IP" without an address
    Valor,               // a row of the parameters page did not take its value
};

struct Recusa {
    TipoRecusa tipo = TipoRecusa::Valor;
    CampoValor campo = CampoValor::Parametro;
    size_t parametro = 0;  // Parametro: its index in ValoresEquipamento::parametros
    std::string texto;     // the reason, without the name of the value
    // Valor: the label is not on this model's page, which has these.
    bool rotuloDesconhecido = false;
    std::vector<std::string> rotulosDoModelo = {};
};

// The page boxes (refusals of the parameters page's Next and its notice)
// come through cAvisos::MostrarSobre with the row they are about, as the
// wizard shows them.
class cRecusasValores : public cAvisos {
  public:
    virtual void Recusar(const Recusa& recusa) = 0;
    // Said, and the values go on: a serial medium the model cannot use
    // becomes the factory address, as the medium page does when shown.
    virtual void Avisar(const std::string& texto) = 0;
    // Nobody to answer: the safe answer.
    bool Perguntar(const std::string&) override { return false; }
};

// "3 (TVX5150S)"
std::string NomeDoModelo(uint32_t modelo);

// False after the first refusal (told through recusas); what was set before
// it stays in the object, as after a refused Next.
bool AplicarValores(const ValoresEquipamento& valores, cEquipamento& equipamento,
                    cRecusasValores& recusas);

// Page 1, then page 3's rows as the page builds them for the model, with a
// gateway function among valores.parametros already chosen and no other
// value set: what the page offers. linhas stays tied to equipamento. False
// after a refusal.
bool ConstruirLinhasDoModelo(const ValoresEquipamento& valores, cEquipamento& equipamento,
                             cPropertyRows& linhas, cRecusasValores& recusas);

}  // namespace tvx
