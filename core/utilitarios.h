#pragma once
// Address and text helpers shared by the protocols, the runs, the
// configuration file and the parameters page. None of them keeps state.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

// IPv4 value: first number of the dotted text in the lowest byte, so that the
// bytes in memory are in network order. Numbers above 255 count as 255,
// missing numbers as 0; any text yields a value.
uint32_t TextoParaIp(std::string_view texto);
// compacto: "%d.%d.%d.%d"; otherwise "%03d.%03d.%03d.%03d". Lowest byte first.
std::string IpParaTexto(uint32_t ip, bool compacto);

// "%02X:%02X:%02X:%02X:%02X:%02X"
std::string MacParaTexto(const uint8_t mac[6]);
// Two hex digits, any one separator, ...; unreadable groups give 0. Always true.
bool TextoParaMac(std::string_view texto, uint8_t destino[6]);
// 17 characters, ':' or '-' at positions 2, 5, 8, 11, 14, hex digits elsewhere.
bool MacValido(std::string_view texto);

// Fills destino with the characters between the first inicio and the next fim
// after it. Returns their number; 0 (and destino empty) when a label is
// missing, the value is empty, or it has tamanho characters or more.
size_t TextoEntreMarcas(std::string_view texto, std::string_view inicio, std::string_view fim,
                        std::string& destino, size_t tamanho);

// White space as isspace() in the C locale.
std::string& AparaEsquerda(std::string& texto);
std::string& AparaDireita(std::string& texto);
std::string& Aparar(std::string& texto);

// A number typed by a person or a spreadsheet: digits only (no sign, no
// blanks), at most maximo. valor is set only when it is one.
bool NumeroEstrito(std::string_view texto, uint32_t maximo, uint32_t& valor);

// Control bytes 0x01..0x1F other than TAB, LF and CR become spaces over the
// first tamanho - 1 bytes; the byte at tamanho - 1 becomes NUL.
void LimparControle(uint8_t* buffer, size_t tamanho);

struct Relogio {
    uint8_t dia = 1;
    uint8_t mes = 1;
    uint16_t ano = 2000;
    uint8_t hora = 0;
    uint8_t minuto = 0;
    uint8_t segundo = 0;
};

uint16_t AnoDoisDigitos(uint16_t ano);
// Local time of the computer.
void LerRelogio(uint8_t& dia, uint8_t& mes, uint16_t& ano, uint8_t& hora, uint8_t& minuto,
                uint8_t& segundo);
Relogio LerRelogio();
// Day, month, year modulo 100, hour, minute, second: plain numbers, not BCD.
void RelogioSeisBytes(const Relogio& relogio, uint8_t destino[6]);
bool RelogioSeisBytes(uint8_t destino[6]);

// Status numbers of the echo, as technicians know them from Windows.
inline constexpr uint32_t kIpSucesso = 0;
inline constexpr uint32_t kIpDestinoInalcancavel = 11003;
inline constexpr uint32_t kIpTempoEsgotado = 11010;

struct RespostaEco {
    uint32_t endereco = 0;  // the answering address, IPv4 value
    uint32_t status = 0;    // 0 success
    uint32_t tempoMs = 0;   // round trip in milliseconds
    uint16_t tamanhoDados = 0;
};

inline constexpr uint16_t kTamanhoMaximoEco = 2048;

// One ICMP echo carrying "Data Buffer" and its terminator, zero-padded to
// tamanhoDados (1..2048). True when the reply status is success. On failure
// UltimoErroPing() gives the code for "Ping falhou: %ld". A user who may open
// no ICMP socket has the echo sent by the network helper.
bool Pingar(uint32_t destino, RespostaEco& resposta, uint16_t tamanhoDados, uint32_t tempoLimiteMs);
// Code of the last failed Pingar on this thread: an IP Helper status number
// (11010 time-out, 11003 unreachable) or errno.
long UltimoErroPing();

// Deletes the ARP entry of the address on the interface whose subnet holds it,
// unless the entry is static (PERMANENT or NOARP). Without CAP_NET_ADMIN the
// network helper deletes it. False for an invalid text or when nothing was
// deleted.
bool RemoverArp(std::string_view ip);

struct LinhaEndereco {
    uint32_t endereco = 0;  // IPv4 value
    uint32_t mascara = 0;   // IPv4 value
    uint32_t indiceInterface = 0;
    std::string nomeInterface;
};
// IPv4 address table of the computer's adapters. 0 on success, else errno.
int TabelaEnderecos(std::vector<LinhaEndereco>& tabela);

}  // namespace tvx
