#include "transport/os/motivo_serial.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace tvx {

namespace {

std::string NomeDoProcesso(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string nome;
    std::getline(comm, nome);
    return nome.empty() ? "?" : nome;
}

std::string Dono(pid_t pid, const std::string& como) {
    return NomeDoProcesso(pid) + ", pid " + std::to_string(pid) + ", " + como;
}

bool Vivo(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The device's own name: /dev/serial/by-id/... links to ttyUSB0, and the
// lock files are named after that.
std::string NomeDoDispositivo(const std::string& caminho) {
    char real[4096];
    std::string nome = ::realpath(caminho.c_str(), real) ? std::string(real) : caminho;
    const size_t barra = nome.rfind('/');
    return barra == std::string::npos ? nome : nome.substr(barra + 1);
}

std::string TextoErro(int erro) {
    const char* nome = ::strerrorname_np(erro);
    return std::string(nome ? nome : "erro " + std::to_string(erro)) + ": " + std::strerror(erro);
}

// The user may not open the device: which group may, and whether the user
// is in it already (then only this session is not).
std::string SemPermissao(const std::string& caminho) {
    std::string texto = "sem permissão para abrir \"" + caminho + "\"";
    struct stat st {};
    const passwd* pw = ::getpwuid(::geteuid());
    if (pw == nullptr || ::stat(caminho.c_str(), &st) != 0) {
        return texto;
    }
    const std::string usuario = pw->pw_name;
    const group* gr = ::getgrgid(st.st_gid);
    const std::string grupo = gr ? gr->gr_name : std::to_string(st.st_gid);
    texto += " (grupo " + grupo + ")";
    int n = 256;
    std::vector<gid_t> grupos(static_cast<size_t>(n));
    bool membro = false;
    if (::getgrouplist(pw->pw_name, pw->pw_gid, grupos.data(), &n) >= 0) {
        for (int i = 0; i < n; ++i) {
            membro = membro || grupos[static_cast<size_t>(i)] == st.st_gid;
        }
    }
    if (membro) {
        return texto + ": o usuário " + usuario + " já está no grupo " + grupo +
               ", mas esta sessão ainda não; saia e entre de novo na sessão";
    }
    return texto + ": o usuário " + usuario + " não está no grupo " + grupo +
           "; para entrar: sudo usermod -aG " + grupo + " " + usuario +
           " (depois saia e entre de novo na sessão)";
}

std::string Ocupada(const std::string& caminho) {
    std::string texto = "a porta \"" + caminho + "\" está em uso por outro programa";
    if (const pid_t pid = DonoPeloArquivoDeLock(caminho)) {
        return texto + " (" + Dono(pid, "segundo o arquivo LCK.." + NomeDoDispositivo(caminho)) +
               ")";
    }
    if (const pid_t pid = DonoPeloLockDoKernel(caminho)) {
        return texto + " (" + Dono(pid, "que a trava") + ")";
    }
    return texto + "; feche-o (um terminal serial, o ModemManager) e tente de novo";
}

}  // namespace

pid_t DonoPeloArquivoDeLock(const std::string& caminho, const std::string& pasta) {
    const std::string nome = "LCK.." + NomeDoDispositivo(caminho);
    std::vector<std::string> pastas{"/run/lock", "/var/lock"};
    if (!pasta.empty()) {
        pastas = {pasta};
    }
    for (const std::string& p : pastas) {
        std::ifstream arquivo(p + "/" + nome, std::ios::binary);
        if (!arquivo) {
            continue;
        }
        char bytes[16] = {};
        arquivo.read(bytes, sizeof bytes - 1);
        const std::streamsize lidos = arquivo.gcount();
        // The usual form is the number as text; old programs wrote it as a
        // 4-byte binary number.
        pid_t pid = 0;
        if (lidos == 4 && (bytes[0] < '0' || bytes[0] > '9') && bytes[0] != ' ') {
            int32_t binario = 0;
            std::memcpy(&binario, bytes, sizeof binario);
            pid = binario;
        } else {
            std::istringstream(bytes) >> pid;
        }
        if (pid != ::getpid() && Vivo(pid)) {
            return pid;
        }
    }
    return 0;
}

pid_t DonoPeloLockDoKernel(const std::string& caminho, const std::string& arquivo) {
    struct stat st {};
    if (::stat(caminho.c_str(), &st) != 0) {
        return 0;
    }
    std::ifstream locks(arquivo);
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"
    for (std::string linha; std::getline(locks, linha);) {
        std::istringstream campos(linha);
        std::string numero, tipo, modo, acesso, id;
        long pid = 0;
        campos >> numero >> tipo;
        if (tipo == "->") {
            continue;  // a waiter, not a holder
        }
        campos >> modo >> acesso >> pid >> id;
        unsigned maior = 0, menor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%llu", &maior, &menor, &inode) == 3 &&
            maior == major(st.st_dev) && menor == minor(st.st_dev) && inode == st.st_ino &&
            pid != ::getpid()) {
            return static_cast<pid_t>(pid);
        }
    }
    return 0;
}

std::string MotivoFalhaSerial(const std::string& caminho, int erro) {
    switch (erro) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
            return "a porta \"" + caminho +
                   "\" não existe: confira o nome e se o adaptador USB-serial está ligado";
        case EACCES:
        case EPERM:
            return SemPermissao(caminho);
        case EBUSY:
        case EWOULDBLOCK:
            return Ocupada(caminho);
        case ENOTTY:
        case EISDIR:
            return "\"" + caminho + "\" não é um dispositivo serial";
        default:
            return "não foi possível abrir a porta \"" + caminho + "\" (" + TextoErro(erro) + ")";
    }
}

}  // namespace tvx
