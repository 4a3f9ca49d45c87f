#pragma once
// The benchmarks talk to the factory address 192.168.0.101: they refuse to
// start unless this process sits in a network namespace where only "lo"
// exists (scripts/bench.sh creates one with unshare -n).
#include <net/if.h>

#include <cstdio>
#include <string>

namespace tvx::bench {

inline bool SoLoopback() {
    struct if_nameindex* lista = if_nameindex();
    if (lista == nullptr) {
        return false;
    }
    bool so = true;
    int n = 0;
    for (struct if_nameindex* i = lista; i->if_index != 0; ++i, ++n) {
        so = so && std::string(i->if_name) == "lo";
    }
    if_freenameindex(lista);
    return so && n == 1;
}

inline bool ExigirRedeIsolada() {
    if (SoLoopback()) {
        return true;
    }
    std::fprintf(stderr,
                 "refusing to run: this network namespace has interfaces other than lo "
                 "(run it through scripts/bench.sh)\n");
    return false;
}

}  // namespace tvx::bench
