#pragma once
// A fuzz target must never reach a network. The seccomp filter installed here
// makes socket() and socketpair() fail with EACCES for the rest of the
// process, so no code path a fuzzer input can find is able to open one: a
// socket the product tries to create fails like one the system refused.
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace tvx::fuzz {

#if defined(__x86_64__)
inline constexpr unsigned kArquitetura = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr unsigned kArquitetura = AUDIT_ARCH_AARCH64;
#else
#error "no seccomp architecture code for this machine"
#endif

inline void ProibirRede() {
    // The x32 ABI numbers its calls from 0x40000000 on x86-64; they are refused
    // as a whole, so the socket calls cannot slip through under another number.
    constexpr unsigned kBitX32 = 0x40000000;
    sock_filter filtro[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArquitetura, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, kBitX32, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socketpair, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)),
    };
    sock_fprog programa{};
    programa.len = static_cast<unsigned short>(sizeof filtro / sizeof filtro[0]);
    programa.filter = filtro;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &programa) != 0) {
        std::perror("seccomp");
        std::abort();  // never fuzz without the guard
    }
}

}  // namespace tvx::fuzz
