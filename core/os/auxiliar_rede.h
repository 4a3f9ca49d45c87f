#pragma once
// The network helper tvxnetcfg-rede (privilegios/): the only file of the
// package with capabilities, so that the wizard (which loads Qt plugins from
// wherever its environment says) and the headless front end carry none. The
// front ends run it for the operations they may not do themselves; both sides
// speak through the few texts below.
//
//     tvxnetcfg-rede eco ENDEREÇO TAMANHO TEMPO_MS
//         one echo ("Data Buffer" zero-padded to TAMANHO, 1..2048) waiting at
//         most TEMPO_MS (1..10000); answer "ERRO ENDEREÇO STATUS TEMPO BYTES"
//         with the values EcoIcmp gives (ERRO 0 on a reply).
//     tvxnetcfg-rede apagar-arp ENDEREÇO
//         ApagarVizinhoNasSubredes; answer "CÓDIGO" (0 deleted, else errno).
//     tvxnetcfg-rede sondar-arp INTERFACE ENDEREÇO
//         SondarArp for one second; answer "CÓDIGO" (0 nobody answered,
//         EADDRINUSE a host holds the address, else errno).
//     tvxnetcfg-rede adicionar-endereco INTERFACE ENDEREÇO/PREFIXO
//     tvxnetcfg-rede remover-endereco INTERFACE ENDEREÇO/PREFIXO
//         AdicionarEnderecoProprio / RemoverEnderecoProprio: the program's own
//         marked address; answer "CÓDIGO". Only a private (RFC 1918) host
//         address with a prefix of 16 to 30, on an interface that is not
//         loopback: enough for a device's network, useless for taking over
//         anybody's traffic.
//
// Numbers are plain decimals without sign, spaces or leading zeros, addresses
// dotted quads, interfaces named as the kernel knows them; the answer is one line, exit status 0. A
// refused call exits with 2 and a message on stderr, a failure of the helper itself with 1.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/utilitarios.h"

namespace tvx::os {

inline constexpr const char* kOperacaoEco = "eco";
inline constexpr const char* kOperacaoApagarArp = "apagar-arp";
inline constexpr const char* kOperacaoSondarArp = "sondar-arp";
inline constexpr const char* kOperacaoAdicionarEndereco = "adicionar-endereco";
inline constexpr const char* kOperacaoRemoverEndereco = "remover-endereco";
inline constexpr uint32_t kTempoMaximoEcoAuxiliarMs = 10000;
inline constexpr uint32_t kEsperaSondaArpMs = 1000;
inline constexpr uint8_t kMenorPrefixoProprio = 16;
inline constexpr uint8_t kMaiorPrefixoProprio = 30;

// A decimal number of 0..maximo written without sign, spaces or leading zeros.
bool DecimalEstrito(std::string_view texto, uint32_t maximo, uint32_t& valor);
// A dotted quad for one host: not 0.x.x.x, multicast, 240.0.0.0/4 or broadcast.
bool EnderecoDeHost(uint32_t endereco);

// 1 to 15 printable characters without '/', ':' or blanks, not "." or "..".
bool NomeDeInterface(std::string_view nome);
// "a.b.c.d/NN" for AdicionarEnderecoProprio: see the operations above.
bool LerEnderecoProprio(std::string_view texto, uint32_t& endereco, uint8_t& prefixo);
std::string TextoEnderecoComPrefixo(uint32_t endereco, uint8_t prefixo);

std::string LinhaRespostaEco(long erro, const RespostaEco& resposta);
bool LerRespostaEco(std::string_view linha, long& erro, RespostaEco& resposta);
// The answer of the operations that give one code.
std::string LinhaRespostaCodigo(int codigo);
bool LerRespostaCodigo(std::string_view linha, int& codigo);

// Runs the helper with these arguments (no shell, an empty environment) and
// waits at most limiteMs; the child is killed and reaped when it takes
// longer. True with its answer (without the line feed) when it exited with 0
// after writing exactly one line.
bool ConsultarAuxiliarRede(const std::vector<std::string>& argumentos, uint32_t limiteMs,
                           std::string& resposta);

// The helper's path: the installed one, or the one of this build tree when the
// running program is a file of that tree. No environment variable moves it.
std::string CaminhoAuxiliarRede();
// Tests point the program at a copy of the helper; "" restores the default.
void DefinirAuxiliarRede(std::string caminho);

// Through the helper; false (and the arguments unchanged) when it is missing,
// failed or answered something malformed.
bool EcoPeloAuxiliar(uint32_t destino, uint16_t tamanhoDados, uint32_t tempoLimiteMs,
                     RespostaEco& resposta, long& erro);
bool ApagarArpPeloAuxiliar(uint32_t endereco, int& codigo);
bool SondarArpPeloAuxiliar(const std::string& interface, uint32_t endereco, int& codigo);
bool EnderecoProprioPeloAuxiliar(bool adicionar, const std::string& interface, uint32_t endereco,
                                 uint8_t prefixo, int& codigo);

}  // namespace tvx::os
