#pragma once
// One rtnetlink request and its answers, each wait and the whole exchange
// bounded in time: the reads of links, addresses and routes, and the changes
// of the program's own address.
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tvx::os {

class PedidoRtnetlink {
  public:
    // NLM_F_REQUEST and NLM_F_ACK are always set.
    PedidoRtnetlink(uint16_t tipo, uint16_t flags);

    template <class T>
    void Estrutura(const T& valor) {
        Acrescentar(&valor, sizeof valor);
    }
    void Atributo(uint16_t tipo, const void* dados, size_t tamanho);

    // Sends it and hands every answer but the closing one to cadaUma. 0 when
    // the kernel acknowledged it or ended the dump, else the kernel's errno
    // (ETIMEDOUT when it said nothing in time).
    int Enviar(const std::function<void(const nlmsghdr&)>& cadaUma = {});

  private:
    void Acrescentar(const void* dados, size_t tamanho);
    std::vector<char> bytes_;
};

// The attributes of a message after its fixed part of tamanhoFixo bytes,
// indexed by type up to maximo (nullptr where absent; types above are skipped).
std::vector<const rtattr*> AtributosDe(const nlmsghdr& h, size_t tamanhoFixo, uint16_t maximo);

}  // namespace tvx::os
