#pragma once
// This computer's network as the kernel itself tells it (rtnetlink, no
// command run), and the one change the program ever makes to it: a temporary
// IPv4 address of its own on one interface. That address carries a mark of
// the program (the address's protocol number, IFA_PROTO), and only a marked
// address with exactly the recorded interface, address and prefix is ever
// removed, so an address somebody else added stays whatever happens.
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::os {

struct InterfaceLocal {
    uint32_t indice = 0;
    std::string nome;
    bool ativa = false;    // switched on (IFF_UP)
    bool comLink = false;  // on, with a carrier (IFF_LOWER_UP)
    bool loopback = false;
    bool ethernet = false;  // ARPHRD_ETHER: ARP works on it
    bool semFio = false;    // a wireless card: never the cable to a device
};

struct EnderecoLocal {
    uint32_t indice = 0;
    uint32_t endereco = 0;  // IPv4 value
    uint8_t prefixo = 0;
    bool secundario = false;
    bool nosso = false;  // carries the program's mark
};

struct RotaLocal {
    bool local = false;    // the address is one of this computer's own
    uint32_t indice = 0;   // the outgoing interface
    uint32_t gateway = 0;  // 0 when the address is on a network of that interface
};

inline constexpr uint8_t kMarcaEnderecoProprio = 0x54;

// 0 or an errno value.
int LerInterfacesLocais(std::vector<InterfaceLocal>& interfaces);
int LerEnderecosLocais(std::vector<EnderecoLocal>& enderecos);
// The kernel's answer for a packet to destino: 0 with the route, or its
// errno (ENETUNREACH when no route leads there).
int ConsultarRota(uint32_t destino, RotaLocal& rota);

// Adds endereco/prefixo to the interface with the mark. 0 when this call
// added it; EEXIST when the interface already had it (then it is not ours);
// EPERM without CAP_NET_ADMIN; EOPNOTSUPP when the kernel keeps no mark (the
// address is taken away again at once).
int AdicionarEnderecoProprio(uint32_t indice, uint32_t endereco, uint8_t prefixo);
// Removes exactly that marked address. 0 removed; ENOENT when the interface
// holds no such marked address; EBUSY when it stays because the kernel would
// take addresses of the same network added after it along (secondary
// addresses, promote_secondaries off); EPERM without CAP_NET_ADMIN.
int RemoverEnderecoProprio(uint32_t indice, uint32_t endereco, uint8_t prefixo);

// Whether some host holds endereco on the interface's link: an ARP probe
// (sender 0.0.0.0, so that nobody's table learns anything), a second one
// halfway, and the wait of esperaMs for any ARP packet from that address.
// 0 when nobody answered, EADDRINUSE when a host did, else an errno value
// (EPERM without CAP_NET_RAW, EAFNOSUPPORT on a link without Ethernet ARP).
int SondarArp(uint32_t indice, uint32_t endereco, uint32_t esperaMs);

}  // namespace tvx::os
