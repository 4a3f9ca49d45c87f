#pragma once
// The command line of tvxnetcfg-cli: what the technician asked for, read
// strictly, before anything is loaded or sent.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tvx::cli {

inline constexpr const char* kNomePrograma = "tvxnetcfg-cli";
inline constexpr const char* kVersaoCli = "19.1.3";

enum class Acao { Programar, Testar, Ler };

struct Opcoes {
    bool ajuda = false;
    bool versao = false;                // --version
    bool listarModelos = false;         // --list-models
    bool listarParametros = false;      // --list-params
    bool listarPortas = false;          // --list-ports
    std::optional<std::string> rastro;  // --trace
    std::optional<Acao> acao;
    std::optional<std::string> configuracao;  // --config
    std::optional<uint32_t> modelo;           // 0..34 as read; 0 is refused later
    std::optional<uint32_t> meio;             // 0..2
    std::optional<std::string> endereco;      // --address, dotted
    std::optional<std::string> porta;
    std::optional<uint8_t> velocidade;  // rate code of the serial rate table
    std::optional<uint8_t> rtu;
    std::optional<std::string> ip;
    std::optional<std::string> mascara;
    std::optional<std::string> gateway;
    std::vector<std::pair<std::string, std::string>> parametros;  // --param, in order
    std::string log;            // --log; empty: the default place (persistence/locais.h)
    bool gravar = false;        // --save
    bool prepararRede = false;  // --preparar-rede
};

// A listing or the version instead of an action.
inline bool SoConsulta(const Opcoes& o) {
    return o.versao || o.listarModelos || o.listarParametros || o.listarPortas;
}

// False with the reason in erro (one line, without the program's name).
bool LerOpcoes(int argc, const char* const* argv, Opcoes& opcoes, std::string& erro);

std::string TextoAjuda();

}  // namespace tvx::cli
