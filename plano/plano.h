#pragma once
// A plan: the devices of a site, one row each of a spreadsheet saved as CSV,
// to be programmed one after another. Reading a plan checks all of it before
// anything is sent: every row through the same page logic and refusals as the
// wizard and tvxnetcfg-cli, and what only a plan can get wrong (two rows with
// one new address, a new address that is the factory one, an action the
// model has not got). Every error names its row and column.
//
// Columns (the header row names them; an unknown column is an error):
//   modelo      catalogue index (1 to 34) or the model's exact name; required
//   meio        0 IP Default, 1 Este IP, 2 Serial; empty: 0
//   endereco    the device's address for meio 1
//   porta, velocidade, rtu   the serial medium (page 2)
//   ip, mascara, gateway     the new addresses (page 3)
//   acoes       program, test and read, any of them, run in that order;
//               empty: program, then read where the model can be read
//   any label of the parameters page ("Alterar MAC?", "Faixa de RTU", ...),
//   with the values tvxnetcfg-cli's --param takes; an empty cell leaves the
//   row as the page builds it.
// The plan's own column names are matched exactly (so "rtu", the serial
// RTU address, is not "RTU", the parameters page's row); labels without
// regard to case. "endereço", "máscara" and "ações" are taken too, and the
// labels "IP", "Máscara" and "Gateway" are the columns ip, mascara, gateway.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "paginas/valores.h"

namespace tvx::plano {

struct Dispositivo {
    size_t numero = 0;  // 1, 2, ... in the plan's order
    size_t linha = 0;   // the spreadsheet's row (the header is row 1)
    uint32_t modelo = 0;
    std::string nomeModelo;
    ValoresEquipamento valores;
    std::vector<uint32_t> acoes;  // kAcao..., in the order they run
    bool programaIp = false;      // a programming run sends it a new address
    std::string ipNovo, mascaraNova, gatewayNova;
    std::string conexao;              // the medium in words: "Este IP 10.0.0.5", ...
    std::string conteudo;             // the row's fingerprint: its state follows it
    std::vector<std::string> avisos;  // the page's notices for the row
};

struct Plano {
    std::string caminho;
    std::vector<Dispositivo> dispositivos;
};

// At most this many errors are listed, then how many more there are.
inline constexpr size_t kMaximoErros = 50;

// The plan in bytes (as read from its file). False with every error found.
bool VerificarPlano(std::string_view bytes, Plano& plano, std::vector<std::string>& erros);
// The file through the program's file layer (links and non-regular files are
// refused), then VerificarPlano.
bool LerPlano(const std::string& caminho, Plano& plano, std::vector<std::string>& erros);

}  // namespace tvx::plano
