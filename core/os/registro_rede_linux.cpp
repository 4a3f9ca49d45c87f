// The record files, through a descriptor of their folder: every name is
// opened relative to it and without following links.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/os/auxiliar_rede.h"
#include "core/os/rede_os.h"
#include "core/os/registro_rede.h"

namespace tvx::os {

namespace {

constexpr const char* kPrefixoArquivo = "endereco-";
constexpr const char* kCabecalho = "tvxnetcfg-endereco 1";
constexpr size_t kTamanhoMaximo = 512;

// A descriptor of the folder, or -1 with errno set.
class Pasta {
  public:
    explicit Pasta(bool criar) {
        const uid_t eu = geteuid();
        const char* xdg = std::getenv("XDG_RUNTIME_DIR");
        if (xdg != nullptr && xdg[0] == '/') {
            fd_ = Abrir(xdg, "tvxnetcfg", eu, true, criar);
            caminho_ = std::string(xdg) + "/tvxnetcfg";
        }
        if (fd_ < 0) {
            const std::string nome = "tvxnetcfg-" + std::to_string(eu);
            fd_ = Abrir("/tmp", nome.c_str(), eu, false, criar);
            caminho_ = "/tmp/" + nome;
        }
    }
    ~Pasta() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Pasta(const Pasta&) = delete;
    Pasta& operator=(const Pasta&) = delete;
    int Fd() const { return fd_; }
    const std::string& Caminho() const { return caminho_; }

  private:
    static bool Minha(int fd, uid_t eu, mode_t proibido) {
        struct stat st {};
        return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == eu &&
               (st.st_mode & proibido) == 0;
    }

    static int Abrir(const char* base, const char* nome, uid_t eu, bool baseMinha, bool criar) {
        const int fdBase = open(base, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fdBase < 0) {
            return -1;
        }
        // The runtime folder of somebody else (a program started with sudo
        // keeps the user's variable) is not this user's to write in.
        if (baseMinha && !Minha(fdBase, eu, S_IWGRP | S_IWOTH)) {
            close(fdBase);
            errno = EPERM;
            return -1;
        }
        if (criar) {
            mkdirat(fdBase, nome, 0700);
        }
        const int fd = openat(fdBase, nome, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(fdBase);
        if (fd >= 0 && !Minha(fd, eu, S_IRWXG | S_IRWXO)) {
            close(fd);
            errno = EPERM;
            return -1;
        }
        return fd;
    }

    int fd_ = -1;
    std::string caminho_;
};

std::string NomeArquivo(int64_t pid) {
    return kPrefixoArquivo + std::to_string(pid);
}

std::string LinhaRegistro(const RegistroEndereco& r) {
    return std::string(kCabecalho) + ' ' + r.boot + ' ' + std::to_string(r.redeNs) + ' ' +
           std::to_string(r.pid) + ' ' + std::to_string(r.inicioProcesso) + ' ' +
           std::to_string(r.indice) + ' ' + r.interface + ' ' +
           TextoEnderecoComPrefixo(r.endereco, r.prefixo) + '\n';
}

bool LerLinhaRegistro(const std::string& linha, RegistroEndereco& r) {
    std::istringstream campos(linha);
    std::string nome;
    std::string versao;
    std::string endereco;
    campos >> nome >> versao >> r.boot >> r.redeNs >> r.pid >> r.inicioProcesso >> r.indice >>
        r.interface >> endereco;
    return campos && nome + ' ' + versao == kCabecalho && !r.boot.empty() && r.pid > 0 &&
           NomeDeInterface(r.interface) && LerEnderecoProprio(endereco, r.endereco, r.prefixo);
}

std::string LerTexto(const char* caminho) {
    std::ifstream arquivo(caminho);
    std::string texto;
    std::getline(arquivo, texto);
    return texto;
}

// Field 22 of /proc/PID/stat; the command name before it may hold anything
// but ends at the last ')'.
uint64_t InicioDoProcesso(int64_t pid) {
    std::ifstream arquivo("/proc/" + std::to_string(pid) + "/stat");
    std::string texto;
    std::getline(arquivo, texto);
    const size_t fim = texto.rfind(')');
    if (fim == std::string::npos) {
        return 0;
    }
    std::istringstream campos(texto.substr(fim + 1));
    std::string campo;
    for (int i = 3; i <= 22 && campos >> campo; ++i) {
    }
    return campos ? std::strtoull(campo.c_str(), nullptr, 10) : 0;
}

}  // namespace

RegistroEndereco RegistroDesteProcesso() {
    RegistroEndereco r;
    r.boot = LerTexto("/proc/sys/kernel/random/boot_id");
    struct stat st {};
    if (stat("/proc/thread-self/ns/net", &st) == 0) {
        r.redeNs = st.st_ino;
    }
    r.pid = getpid();
    r.inicioProcesso = InicioDoProcesso(r.pid);
    return r;
}

bool DonoVivo(const RegistroEndereco& registro) {
    if (kill(static_cast<pid_t>(registro.pid), 0) != 0 && errno == ESRCH) {
        return false;
    }
    const uint64_t inicio = InicioDoProcesso(registro.pid);
    return inicio == 0 || inicio == registro.inicioProcesso;
}

int GravarRegistro(const RegistroEndereco& registro, std::string* pasta) {
    const Pasta p(true);
    if (pasta != nullptr) {
        *pasta = p.Caminho();
    }
    if (p.Fd() < 0) {
        return errno != 0 ? errno : EIO;
    }
    // Written in full under another name, then renamed over the record: a
    // reader sees the old line or the new one, never a part.
    const std::string final = NomeArquivo(registro.pid);
    const std::string novo = final + ".novo";
    unlinkat(p.Fd(), novo.c_str(), 0);
    const int fd =
        openat(p.Fd(), novo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    const std::string linha = LinhaRegistro(registro);
    const bool escrito =
        write(fd, linha.data(), linha.size()) == static_cast<ssize_t>(linha.size()) &&
        fsync(fd) == 0;
    const int erro = errno;
    close(fd);
    if (!escrito || renameat(p.Fd(), novo.c_str(), p.Fd(), final.c_str()) != 0) {
        const int e = escrito ? errno : erro;
        unlinkat(p.Fd(), novo.c_str(), 0);
        return e != 0 ? e : EIO;
    }
    fsync(p.Fd());
    return 0;
}

int ApagarRegistro(int64_t pid) {
    const Pasta p(false);
    if (p.Fd() < 0) {
        return errno;
    }
    return unlinkat(p.Fd(), NomeArquivo(pid).c_str(), 0) == 0 ? 0 : errno;
}

std::vector<RegistroEndereco> LerRegistros() {
    std::vector<RegistroEndereco> registros;
    const Pasta p(false);
    const int fdLista = p.Fd() < 0 ? -1 : dup(p.Fd());
    DIR* lista = fdLista < 0 ? nullptr : fdopendir(fdLista);
    if (lista == nullptr) {
        if (fdLista >= 0) {
            close(fdLista);
        }
        return registros;
    }
    while (const dirent* entrada = readdir(lista)) {
        const std::string nome = entrada->d_name;
        if (nome.rfind(kPrefixoArquivo, 0) != 0 ||
            nome.find_first_not_of("0123456789", std::char_traits<char>::length(kPrefixoArquivo)) !=
                std::string::npos) {
            continue;
        }
        const int fd = openat(p.Fd(), nome.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        std::array<char, kTamanhoMaximo> texto{};
        ssize_t n = -1;
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            n = read(fd, texto.data(), texto.size() - 1);
        }
        if (fd >= 0) {
            close(fd);
        }
        RegistroEndereco r;
        if (n > 0 && LerLinhaRegistro(std::string(texto.data(), static_cast<size_t>(n)), r) &&
            nome == NomeArquivo(r.pid)) {
            registros.push_back(std::move(r));
        }
    }
    closedir(lista);
    return registros;
}

}  // namespace tvx::os
