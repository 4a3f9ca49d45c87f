#pragma once
// Operating-system side of the network calls of core/utilitarios.h: ICMP echo,
// neighbour (ARP) entry removal and the adapter address table. The Linux
// versions live in the *_linux.cpp files beside this header; a Windows layer
// (IP Helper) would sit beside them with the same declarations.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/utilitarios.h"

namespace tvx::os {

enum class ModoIcmp {
    Automatico,  // datagram socket if the group may use it, else a raw socket
    Datagrama,   // SOCK_DGRAM/IPPROTO_ICMP only (net.ipv4.ping_group_range)
    Bruto,       // SOCK_RAW only (CAP_NET_RAW)
};

// One echo request carrying "Data Buffer\0" zero-padded to tamanhoDados, and
// the wait for its reply, never longer than tempoLimiteMs in total. True on an
// echo reply. On false, erro holds an IP Helper status number (11010 time-out,
// 11003 host unreachable, ...) or an errno value; when an ICMP error message
// answered the request, resposta holds its sender and the status. *semSocket
// (when given) tells whether it failed because this process may open no ICMP
// socket of the mode (EACCES/EPERM), before anything was sent.
bool EcoIcmp(uint32_t destino, uint16_t tamanhoDados, uint32_t tempoLimiteMs, ModoIcmp modo,
             RespostaEco& resposta, long& erro, bool* semSocket = nullptr);

// What an echo request is recognised by in the traffic that comes back.
struct PedidoEco {
    uint32_t destino = 0;  // IPv4 value
    uint16_t identificador = 0;
    uint16_t sequencia = 0;
    bool identificadorConhecido = true;  // false until a datagram socket is bound
};

enum class Analise {
    Alheio,    // not about this request
    Resposta,  // its echo reply: resposta has the sender and the data size
    Erro,      // an ICMP error quoting it: resposta has the sender and the status
};

// One packet as a raw ICMP socket receives it (IP header, then ICMP). Reads
// nothing beyond tamanho, whatever the packet claims.
Analise AnalisarPacoteIp(const PedidoEco& pedido, const uint8_t* pacote, size_t tamanho,
                         RespostaEco& resposta);

// The IP Helper status number of an ICMP error message (type, code).
uint32_t StatusDeErroIcmp(uint8_t tipo, uint8_t codigo);

// Dotted quad as inet_pton reads it ("300.1.2.3", "1.2.3" and "" are
// refused). endereco is an IPv4 value (first number in the lowest byte).
bool TextoIpEstrito(std::string_view texto, uint32_t& endereco);

// Deletes the neighbour entry of endereco on the interface unless it is
// static. 0 when an entry was deleted, else an errno value: ENOENT when there
// was none, EEXIST when it is PERMANENT or NOARP and stays, EPERM without
// CAP_NET_ADMIN.
int ApagarVizinho(uint32_t endereco, uint32_t indiceInterface);

// ApagarVizinho on every interface whose subnet holds endereco: 0 when one
// entry was deleted, else EPERM when one was refused for want of privilege,
// else the last answer (ENOENT also when no subnet holds the address).
int ApagarVizinhoNasSubredes(uint32_t endereco);

// IPv4 addresses of the adapters; 0 or an errno value.
int LerEnderecos(std::vector<LinhaEndereco>& tabela);

// Between an IPv4 value and the 32 bits of an in_addr (network order).
uint32_t IpDeInAddr(uint32_t sAddr);
uint32_t InAddrDeIp(uint32_t ip);

}  // namespace tvx::os
