#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "plano/os/trava.h"

namespace tvx::plano::os {

TravaPlano::~TravaPlano() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

TravaPlano::Resultado TravaPlano::Travar(const std::string& caminho, int& erro) {
    const int fd =
        ::open(caminho.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        erro = errno;
        return Resultado::Falhou;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        erro = errno;
        ::close(fd);
        return erro == EWOULDBLOCK ? Resultado::EmUso : Resultado::Falhou;
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
    return Resultado::Travado;
}

}  // namespace tvx::plano::os
