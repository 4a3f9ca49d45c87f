// The adapters' IPv4 address table from getifaddrs().
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/os/rede_os.h"

namespace tvx::os {

uint32_t IpDeInAddr(uint32_t sAddr) {
    uint8_t b[4];
    std::memcpy(b, &sAddr, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

uint32_t InAddrDeIp(uint32_t ip) {
    const uint8_t b[4] = {static_cast<uint8_t>(ip), static_cast<uint8_t>(ip >> 8),
                          static_cast<uint8_t>(ip >> 16), static_cast<uint8_t>(ip >> 24)};
    uint32_t sAddr;
    std::memcpy(&sAddr, b, 4);
    return sAddr;
}

bool TextoIpEstrito(std::string_view texto, uint32_t& endereco) {
    // inet_pton needs a terminated text and must not see anything after it.
    if (texto.empty() || texto.size() > 15 || texto.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::string copia(texto);
    in_addr a{};
    if (inet_pton(AF_INET, copia.c_str(), &a) != 1) {
        return false;
    }
    endereco = IpDeInAddr(a.s_addr);
    return true;
}

int LerEnderecos(std::vector<LinhaEndereco>& tabela) {
    tabela.clear();
    ifaddrs* lista = nullptr;
    if (getifaddrs(&lista) != 0) {
        return errno != 0 ? errno : EIO;
    }
    for (const ifaddrs* i = lista; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        LinhaEndereco linha;
        sockaddr_in endereco{};
        std::memcpy(&endereco, i->ifa_addr, sizeof endereco);
        linha.endereco = IpDeInAddr(endereco.sin_addr.s_addr);
        if (i->ifa_netmask != nullptr) {
            sockaddr_in mascara{};
            std::memcpy(&mascara, i->ifa_netmask, sizeof mascara);
            linha.mascara = IpDeInAddr(mascara.sin_addr.s_addr);
        }
        linha.nomeInterface = i->ifa_name != nullptr ? i->ifa_name : "";
        linha.indiceInterface = i->ifa_name != nullptr ? if_nametoindex(i->ifa_name) : 0;
        tabela.push_back(std::move(linha));
    }
    freeifaddrs(lista);
    return 0;
}

}  // namespace tvx::os
