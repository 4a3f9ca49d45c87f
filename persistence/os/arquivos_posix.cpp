// POSIX implementation of the file layer.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "persistence/os/arquivos.h"

namespace tvx::os {

namespace {

// A profile or log is a few kilobytes; anything far larger is not ours and
// must not make the program swallow it whole.
constexpr off_t kTamanhoMaximoLeitura = 64L * 1024 * 1024;

bool EscreverTudo(int fd, std::string_view bytes) {
    size_t feito = 0;
    while (feito < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + feito, bytes.size() - feito);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        feito += static_cast<size_t>(n);
    }
    return true;
}

std::string PastaDe(const std::string& caminho) {
    const size_t barra = caminho.find_last_of('/');
    if (barra == std::string::npos) {
        return ".";
    }
    if (barra == 0) {
        return "/";
    }
    return caminho.substr(0, barra);
}

std::string NomeDe(const std::string& caminho) {
    const size_t barra = caminho.find_last_of('/');
    return barra == std::string::npos ? caminho : caminho.substr(barra + 1);
}

// A profile reached through a symbolic link is replaced where it really lies,
// so the link stays a link.
std::string AlvoReal(const std::string& caminho) {
    std::error_code erro;
    if (!std::filesystem::is_symlink(caminho, erro)) {
        return caminho;
    }
    const std::filesystem::path alvo = std::filesystem::canonical(caminho, erro);
    return erro ? caminho : alvo.string();
}

void SincronizarPasta(const std::string& pasta) {
    const int fd = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

ResultadoLeitura LerArquivoInteiro(const std::string& caminho, std::string& conteudo) {
    conteudo.clear();
    const int fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? ResultadoLeitura::Inexistente
                                                     : ResultadoLeitura::Erro;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kTamanhoMaximoLeitura) {
        ::close(fd);
        return ResultadoLeitura::Erro;
    }
    char bloco[8192];
    for (;;) {
        const ssize_t n = ::read(fd, bloco, sizeof bloco);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            conteudo.clear();
            return ResultadoLeitura::Erro;
        }
        if (n == 0) {
            break;
        }
        conteudo.append(bloco, static_cast<size_t>(n));
        if (static_cast<off_t>(conteudo.size()) > kTamanhoMaximoLeitura) {
            ::close(fd);
            conteudo.clear();
            return ResultadoLeitura::Erro;
        }
    }
    ::close(fd);
    return ResultadoLeitura::Lido;
}

bool SubstituirArquivo(const std::string& caminho, std::string_view conteudo) {
    if (caminho.empty()) {
        return false;
    }
    static std::atomic<unsigned> contador{0};
    const std::string alvo = AlvoReal(caminho);
    const std::string pasta = PastaDe(alvo);
    const std::string base = pasta + "/." + NomeDe(alvo) + "." + std::to_string(::getpid()) + ".";

    std::string temporario;
    int fd = -1;
    for (int tentativa = 0; tentativa < 100 && fd < 0; ++tentativa) {
        temporario = base + std::to_string(contador.fetch_add(1)) + ".tmp";
        fd = ::open(temporario.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }

    struct stat antigo {};
    if (::stat(alvo.c_str(), &antigo) == 0 && S_ISREG(antigo.st_mode)) {
        // Keeps the owner when a privileged process saves someone's file;
        // an ordinary process cannot, and then the file becomes its own.
        // The mode comes after, as a change of owner clears set-id bits.
        [[maybe_unused]] const int dono = ::fchown(fd, antigo.st_uid, antigo.st_gid);
        ::fchmod(fd, antigo.st_mode & 07777);
    }

    bool ok = EscreverTudo(fd, conteudo);
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = ::rename(temporario.c_str(), alvo.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temporario.c_str());
        return false;
    }
    SincronizarPasta(pasta);
    return true;
}

long long TamanhoArquivo(const std::string& caminho) {
    struct stat info {};
    if (::stat(caminho.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<long long>(info.st_size);
}

bool AnexarArquivo(const std::string& caminho, std::string_view bytes) {
    const int fd = ::open(caminho.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = EscreverTudo(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

ResultadoRenomear RenomearSemSubstituir(const std::string& de, const std::string& para) {
    if (::renameat2(AT_FDCWD, de.c_str(), AT_FDCWD, para.c_str(), RENAME_NOREPLACE) == 0) {
        return ResultadoRenomear::Feito;
    }
    if (errno == EEXIST) {
        return ResultadoRenomear::DestinoExiste;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return ResultadoRenomear::Falhou;
    }
    // File systems without the no-replace rename: a hard link fails on an
    // existing name just the same.
    if (::link(de.c_str(), para.c_str()) == 0) {
        if (::unlink(de.c_str()) == 0) {
            return ResultadoRenomear::Feito;
        }
        ::unlink(para.c_str());
        return ResultadoRenomear::Falhou;
    }
    if (errno == EEXIST) {
        return ResultadoRenomear::DestinoExiste;
    }
    if (ArquivoExiste(para)) {
        return ResultadoRenomear::DestinoExiste;
    }
    return ::rename(de.c_str(), para.c_str()) == 0 ? ResultadoRenomear::Feito
                                                   : ResultadoRenomear::Falhou;
}

bool ArquivoExiste(const std::string& caminho) {
    struct stat info {};
    return ::lstat(caminho.c_str(), &info) == 0;
}

std::string DiretorioAtual() {
    std::error_code erro;
    const std::filesystem::path atual = std::filesystem::current_path(erro);
    return erro ? std::string() : atual.string();
}

}  // namespace tvx::os
