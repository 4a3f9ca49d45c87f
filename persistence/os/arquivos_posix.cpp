// POSIX implementation of the file layer.
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "persistence/os/arquivos.h"

namespace tvx::os {

namespace {

// Every open of ours: never through a final link, never waiting for the
// other end of a pipe, never making a terminal ours.
constexpr int kAberturaSegura = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

ResultadoArquivo Falha(int erro) {
    return ResultadoArquivo{erro};
}

ResultadoArquivo ErroAtual() {
    return Falha(errno);
}

// What the name itself stands for, before anything is opened: opening a
// device node alone can act on the device (a serial line raises its DTR).
ResultadoArquivo Examinar(const std::string& caminho, struct stat& info) {
    if (::lstat(caminho.c_str(), &info) != 0) {
        return ErroAtual();
    }
    if (S_ISLNK(info.st_mode)) {
        return Falha(kErroLink);
    }
    if (!S_ISREG(info.st_mode)) {
        return Falha(kErroNaoRegular);
    }
    return {};
}

// Opens a regular file and leaves the descriptor blocking again. A name that
// changed into something else between the look and the open is refused too.
int AbrirRegular(const std::string& caminho, int modo, ResultadoArquivo& resultado) {
    const int fd = ::open(caminho.c_str(), modo | kAberturaSegura, 0666);
    if (fd < 0) {
        resultado = ErroAtual();
        struct stat info {};
        if (errno == ELOOP || errno == ENXIO || errno == EISDIR) {
            const ResultadoArquivo visto = Examinar(caminho, info);
            if (!visto.Ok()) {
                resultado = visto;
            }
        }
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        resultado = ErroAtual();
    } else if (!S_ISREG(info.st_mode)) {
        resultado = Falha(kErroNaoRegular);
    } else {
        const int estado = ::fcntl(fd, F_GETFL);
        if (estado >= 0 && ::fcntl(fd, F_SETFL, estado & ~O_NONBLOCK) == 0) {
            resultado = {};
            return fd;
        }
        resultado = ErroAtual();
    }
    ::close(fd);
    return -1;
}

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
            errno = EIO;
            return false;
        }
        feito += static_cast<size_t>(n);
    }
    return true;
}

// Writes, then closes; the first failure is the one reported.
ResultadoArquivo EscreverEFechar(int fd, std::string_view bytes, bool sincronizar) {
    ResultadoArquivo r;
    if (!EscreverTudo(fd, bytes) || (sincronizar && ::fsync(fd) != 0)) {
        r = ErroAtual();
    }
    if (::close(fd) != 0 && r.Ok()) {
        r = ErroAtual();
    }
    return r;
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

void SincronizarPasta(const std::string& pasta) {
    const int fd = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A folder that takes no new file, around a file that may still be written:
// the file is rewritten where it lies. New bytes first, then the cut, so that
// a failure half-way leaves the file no shorter than its old content.
ResultadoArquivo RescreverNoLugar(const std::string& caminho, std::string_view conteudo) {
    ResultadoArquivo r;
    const int fd = AbrirRegular(caminho, O_WRONLY, r);
    if (fd < 0) {
        return r;
    }
    if (!EscreverTudo(fd, conteudo) || ::ftruncate(fd, static_cast<off_t>(conteudo.size())) != 0 ||
        ::fsync(fd) != 0) {
        r = ErroAtual();
    }
    if (::close(fd) != 0 && r.Ok()) {
        r = ErroAtual();
    }
    return r;
}

}  // namespace

bool ResultadoArquivo::Inexistente() const {
    return erro == ENOENT || erro == ENOTDIR;
}

std::string MotivoFalha(const ResultadoArquivo& resultado) {
    switch (resultado.erro) {
        case 0:
            return "sem falha";
        case kErroLink:
            return "é um link simbólico";
        case kErroNaoRegular:
        case EISDIR:
            return "não é um arquivo comum";
        case kErroGrande:
            return "é grande demais";
        case EACCES:
        case EPERM:
            return "permissão negada";
        case EROFS:
            return "sistema de arquivos somente para leitura";
        case ENOSPC:
        case EDQUOT:
            return "sem espaço no disco";
        case ENOENT:
            return "arquivo ou pasta inexistente";
        case ENOTDIR:
            return "parte do caminho não é uma pasta";
        default: {
            const char* descricao = ::strerrordesc_np(resultado.erro);
            return "erro " + std::to_string(resultado.erro) +
                   (descricao != nullptr ? std::string(" (") + descricao + ")" : std::string());
        }
    }
}

ResultadoArquivo LerArquivoInteiro(const std::string& caminho, std::string& conteudo,
                                   size_t limite) {
    conteudo.clear();
    struct stat info {};
    if (ResultadoArquivo visto = Examinar(caminho, info); !visto.Ok()) {
        return visto;
    }
    if (static_cast<unsigned long long>(info.st_size) > limite) {
        return Falha(kErroGrande);
    }
    ResultadoArquivo r;
    const int fd = AbrirRegular(caminho, O_RDONLY, r);
    if (fd < 0) {
        return r;
    }
    char bloco[8192];
    for (;;) {
        const ssize_t n = ::read(fd, bloco, sizeof bloco);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            r = ErroAtual();
            break;
        }
        if (n == 0) {
            break;
        }
        conteudo.append(bloco, static_cast<size_t>(n));
        // A file that grows while it is read is held to the same limit.
        if (conteudo.size() > limite) {
            r = Falha(kErroGrande);
            break;
        }
    }
    ::close(fd);
    if (!r.Ok()) {
        conteudo.clear();
    }
    return r;
}

ResultadoArquivo SubstituirArquivo(const std::string& caminho, std::string_view conteudo) {
    if (caminho.empty()) {
        return Falha(ENOENT);
    }
    struct stat antigo {};
    const ResultadoArquivo visto = Examinar(caminho, antigo);
    const bool existe = visto.Ok();
    if (!existe && visto.erro != ENOENT) {
        return visto;
    }

    static std::atomic<unsigned> contador{0};
    const std::string pasta = PastaDe(caminho);
    const std::string base =
        pasta + "/." + NomeDe(caminho) + "." + std::to_string(::getpid()) + ".";
    std::string temporario;
    int fd = -1;
    for (int tentativa = 0; tentativa < 100 && fd < 0; ++tentativa) {
        temporario = base + std::to_string(contador.fetch_add(1)) + ".tmp";
        fd = ::open(temporario.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int erro = errno;
            if (existe && (erro == EACCES || erro == EPERM || erro == EROFS)) {
                return RescreverNoLugar(caminho, conteudo);
            }
            return Falha(erro);
        }
    }
    if (fd < 0) {
        return Falha(EEXIST);
    }

    if (existe) {
        // Keeps the owner when a privileged process saves someone's file;
        // an ordinary process cannot, and then the file becomes its own.
        // The mode comes after, as a change of owner clears set-id bits.
        [[maybe_unused]] const int dono = ::fchown(fd, antigo.st_uid, antigo.st_gid);
        ::fchmod(fd, antigo.st_mode & 07777);
    }

    // rename replaces the name itself: a link put there meanwhile is replaced,
    // never written through.
    ResultadoArquivo r = EscreverEFechar(fd, conteudo, true);
    if (r.Ok() && ::rename(temporario.c_str(), caminho.c_str()) != 0) {
        r = ErroAtual();
    }
    if (!r.Ok()) {
        ::unlink(temporario.c_str());
        return r;
    }
    SincronizarPasta(pasta);
    return r;
}

ResultadoArquivo TamanhoArquivo(const std::string& caminho, long long& tamanho) {
    tamanho = -1;
    struct stat info {};
    const ResultadoArquivo r = Examinar(caminho, info);
    if (r.Ok()) {
        tamanho = static_cast<long long>(info.st_size);
    }
    return r;
}

ResultadoArquivo AnexarArquivo(const std::string& caminho, std::string_view bytes) {
    struct stat info {};
    if (ResultadoArquivo visto = Examinar(caminho, info); !visto.Ok() && visto.erro != ENOENT) {
        return visto;
    }
    ResultadoArquivo r;
    const int fd = AbrirRegular(caminho, O_WRONLY | O_APPEND | O_CREAT, r);
    if (fd < 0) {
        return r;
    }
    return EscreverEFechar(fd, bytes, false);
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

namespace {

std::string PastaInicial() {
    const char* home = ::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd registro {};
    struct passwd* achado = nullptr;
    if (::getpwuid_r(::getuid(), &registro, buffer.data(), buffer.size(), &achado) == 0 &&
        achado != nullptr && achado->pw_dir != nullptr && achado->pw_dir[0] == '/') {
        return achado->pw_dir;
    }
    return {};
}

// A relative path in the variable is to be ignored, as if it were unset.
std::string PastaXdg(const char* variavel, const char* padrao) {
    const char* valor = ::getenv(variavel);
    if (valor != nullptr && valor[0] == '/') {
        return valor;
    }
    const std::string casa = PastaInicial();
    return casa.empty() ? std::string() : casa + padrao;
}

}  // namespace

std::string PastaConfiguracaoUsuario() {
    return PastaXdg("XDG_CONFIG_HOME", "/.config");
}

std::string PastaEstadoUsuario() {
    return PastaXdg("XDG_STATE_HOME", "/.local/state");
}

ResultadoArquivo CriarPastas(const std::string& pasta) {
    if (pasta.empty() || pasta[0] != '/') {
        return Falha(ENOENT);
    }
    size_t fim = 0;
    while (fim != std::string::npos) {
        fim = pasta.find('/', fim + 1);
        const std::string parte = pasta.substr(0, fim);
        if (parte.empty() || parte.back() == '/') {
            continue;
        }
        if (::mkdir(parte.c_str(), 0700) != 0 && errno != EEXIST) {
            return ErroAtual();
        }
        struct stat info {};
        // A folder above ours may be a link to a folder (~/.config often is).
        if (::stat(parte.c_str(), &info) != 0) {
            return ErroAtual();
        }
        if (!S_ISDIR(info.st_mode)) {
            return Falha(ENOTDIR);
        }
    }
    return {};
}

}  // namespace tvx::os
