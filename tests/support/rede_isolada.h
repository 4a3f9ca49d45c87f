#pragma once
// Runs a test body inside a fresh network namespace of its own, so that a test
// can give itself addresses such as the factory default 192.168.0.101 and
// talk to them without a single packet reaching a real network.
//
//     TEST(Rede, SimuladorNoEnderecoDeFabrica) {
//         TVX_EM_REDE_ISOLADA([](tvx::teste::RedeIsolada& rede) {
//             ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
//             ... listen on 192.168.0.101:5003, connect to it ...
//         });
//     }
//
// How it works: a network namespace belongs to a thread, so the body runs on a
// new thread that has called unshare(CLONE_NEWNET). Before the body runs, the
// namespace is checked to hold exactly one interface, "lo", which is brought
// up (127.0.0.1 works, separate from the host's). A namespace that is not
// isolated is a test failure, and the body does not run.
//
// Rules for the body:
//  - Target only loopback addresses or addresses it assigned itself in this
//    namespace. Never anything else.
//  - Every socket, thread and child process it needs must be created on the
//    body's thread or by threads and processes started from it: those inherit
//    the namespace. A thread started earlier elsewhere (a pool) is on the
//    host's network.
//  - gtest assertions work in the body; a fatal one returns from the body.
//    An exception escaping the body is reported as a failure of the test.
//  - The namespace (and everything assigned in it) disappears when the body
//    and whatever it started have finished.
//
// Needs root (CAP_SYS_ADMIN). Elsewhere the helper reports why it is
// unavailable and the macro skips the test with that reason.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tvx::teste {

class RedeIsolada {
  public:
    // Adds "a.b.c.d/prefix" to an interface of this namespace (default "lo").
    // Note that on lo a prefix shorter than /32 makes every address of that
    // subnet local: all of them answer echoes and reach sockets bound to
    // 0.0.0.0. Use /32 for exactly one address. Reports a gtest failure and
    // returns false on error.
    bool AdicionarEndereco(const std::string& enderecoComPrefixo,
                           const std::string& interface = "lo");

    // Routes "a.b.c.d/prefix" into lo with no address of it assigned: every
    // packet sent there is dropped without an answer. Echoes to it time out,
    // TCP connections to it stay unanswered (SYNs swallowed). Do not put an
    // address of the same subnet on lo as well: that makes the subnet local.
    bool AdicionarRedeMuda(const std::string& redeComPrefixo);

    // Creates a veth pair with both ends in this namespace and both up: an
    // Ethernet-like link (with ARP) that leads nowhere outside.
    bool CriarParVeth(const std::string& nomeA, const std::string& nomeB);

    // Names of the interfaces of this namespace.
    std::vector<std::string> Interfaces() const;

    // Runs a command line with /bin/sh in this namespace (for example an
    // "ip neigh ..." of iproute2). Returns its exit status, -1 when it could
    // not be run; *saida (when given) receives its standard output.
    int Executar(const std::string& comando, std::string* saida = nullptr);
};

// Runs corpo in a new, verified network namespace and waits for it to end.
// False when namespaces are unavailable here: *motivo says why and the test
// should be skipped. True otherwise, also when the isolation check failed (the
// failure is then already reported to gtest and corpo did not run).
bool ExecutarEmRedeIsolada(const std::function<void(RedeIsolada&)>& corpo,
                           std::string* motivo = nullptr);

// For a program whose whole process must live in one isolated network (a Qt
// program: widgets belong to the thread that created the application, and
// Qt's own globals outlive any thread but the main one). main() calls it
// before Qt and before any other thread exists; every later thread inherits
// the namespace. False when the process could not be isolated (*motivo says
// why).
bool IsolarProcesso(std::string* motivo = nullptr);
// Runs corpo on the calling thread of a process isolated by IsolarProcesso.
// False (and *motivo) when namespaces were unavailable; a process that could
// not be proved isolated is a test failure and corpo does not run.
bool ExecutarNoProcessoIsolado(const std::function<void(RedeIsolada&)>& corpo,
                               std::string* motivo = nullptr);

}  // namespace tvx::teste

// Like TVX_EM_REDE_ISOLADA, for a process isolated by IsolarProcesso.
#define TVX_NO_PROCESSO_ISOLADO(...)                                                   \
    do {                                                                               \
        std::string tvx_motivo_processo_isolado_;                                      \
        if (!::tvx::teste::ExecutarNoProcessoIsolado((__VA_ARGS__),                    \
                                                     &tvx_motivo_processo_isolado_)) { \
            GTEST_SKIP() << "isolated network namespace unavailable: "                 \
                         << tvx_motivo_processo_isolado_;                              \
        }                                                                              \
    } while (0)

// Runs the body in an isolated network, or skips the current test with the
// reason when that cannot be done. Use it directly in a TEST body; the body
// may contain commas.
#define TVX_EM_REDE_ISOLADA(...)                                                              \
    do {                                                                                      \
        std::string tvx_motivo_rede_isolada_;                                                 \
        if (!::tvx::teste::ExecutarEmRedeIsolada((__VA_ARGS__), &tvx_motivo_rede_isolada_)) { \
            GTEST_SKIP() << "isolated network namespace unavailable: "                        \
                         << tvx_motivo_rede_isolada_;                                         \
        }                                                                                     \
    } while (0)
