#pragma once
// Before a run that reaches the device over TCP: why this computer could not
// reach it, from the kernel's own answers, and the fix the technician may
// accept: a temporary address of the device's network on the interface the
// cable is in, removed again when the front end (or a plan) is done with it.
//
// None of this writes a progress line: the runs, their lines and the log are
// the same with and without it. The texts are for a message box or the
// error output. Nothing here touches DHCP, a network manager or a firewall.
#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

class cEquipamento;

// The device's network when it comes from the factory.
inline constexpr uint32_t kRedeFabrica = 0x0000A8C0;  // 192.168.0.0 as an IPv4 value
inline constexpr uint8_t kPrefixoFabrica = 24;
inline constexpr uint32_t kPrimeiroFinalTemporario = 100;
inline constexpr uint32_t kFinaisTemporariosTentados = 10;

enum class ProblemaRede {
    Nenhum,
    SemCabo,          // no wired interface with a link on the way to the device
    ForaDaRede,       // the address is on none of this computer's networks
    EnderecoProprio,  // the address is this computer's own (not on loopback)
};

struct DiagnosticoRede {
    ProblemaRede problema = ProblemaRede::Nenhum;
    std::string texto;  // short, with interface names and addresses; empty when Nenhum
    uint32_t destino = 0;
    // ForaDaRede with exactly one wired interface with a link: where the
    // address would go.
    std::string interface;
    uint32_t indiceInterface = 0;
    // Only for the factory network: the one whose addresses are known.
    bool Corrigivel() const;
};

// Asks the kernel only; sends nothing. Loopback addresses, and addresses of
// loopback, are this computer on purpose (a simulator): nothing is said.
DiagnosticoRede DiagnosticarRede(uint32_t destino);

// The diagnosis before the run acao (kAcao...) as the equipment object
// stands: programming and reading over media 0 and 1 reach the device over
// TCP; the test run and the serial medium get Nenhum.
DiagnosticoRede DiagnosticarAntesDe(uint32_t acao, const cEquipamento& equipamento);

struct EnderecoTemporario {
    std::string interface;
    uint32_t indiceInterface = 0;
    uint32_t endereco = 0;  // IPv4 value
    uint8_t prefixo = kPrefixoFabrica;
    bool conferido = false;     // an ARP probe found nobody there
    std::string Texto() const;  // "192.168.0.100/24"
};

enum class Preparacao { Pronto, SemPermissao, SemEnderecoLivre, Falha };

struct ResultadoPreparacao {
    Preparacao resultado = Preparacao::Falha;
    EnderecoTemporario endereco;
    std::string texto;  // what to tell the technician when not Pronto
};

// The first address from .100 up in the factory network, skipping the device
// and this computer's own, for which no host answers an ARP probe (a host
// that ignores echoes still answers ARP). At most kFinaisTemporariosTentados
// probes of one second each. Without the privilege to probe: SemPermissao
// with the first one, unchecked, and the commands to type.
ResultadoPreparacao EscolherEnderecoTemporario(const DiagnosticoRede& diagnostico);

// Adds it (itself when it may, else through the network helper), after its
// record is written. Without privilege: SemPermissao and the commands to
// type; nothing changed.
ResultadoPreparacao AdicionarEnderecoTemporario(const EnderecoTemporario& endereco);

// Removes the address this process added, if any; the front ends call it when
// they close or are stopped, a plan engine when a plan ends. True when
// nothing of it is left; texto says what happened (empty when nothing was
// added).
bool RemoverEnderecoTemporario(std::string& texto);

// At start: removes what a run of this user that died left (its record
// names it), and never anything else. One text per address found.
std::vector<std::string> RemoverSobras();

// The commands a technician with sudo types instead.
std::string TextoComandoManual(const EnderecoTemporario& endereco);

}  // namespace tvx
