// Who holds a serial port, as a UUCP lock file tells: the forms programs
// write, and the holders that no longer count.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "transport/os/motivo_serial.h"

namespace tvx {
namespace {

TEST(MotivoSerial, DonoPeloArquivoDeLock) {
    const std::filesystem::path pasta =
        std::filesystem::temp_directory_path() / ("tvx-locks-" + std::to_string(getpid()));
    std::filesystem::create_directories(pasta);
    const pid_t morto = fork();
    if (morto == 0) {
        _exit(0);
    }
    waitpid(morto, nullptr, 0);
    const int32_t binario = 1;
    struct Caso {
        std::string conteudo;
        pid_t dono;
    } casos[] = {
        {"         1\n", 1},  // the usual form: ten columns and a line break
        {std::string(reinterpret_cast<const char*>(&binario), 4), 1},  // old binary form
        {std::to_string(getpid()) + "\n", 0},                          // our own lock
        {std::to_string(morto) + "\n", 0},                             // a stale one
        {"lixo\n", 0},
    };
    for (const Caso& c : casos) {
        std::ofstream(pasta / "LCK..ttyUSB7", std::ios::binary) << c.conteudo;
        EXPECT_EQ(DonoPeloArquivoDeLock("/dev/ttyUSB7", pasta.string()), c.dono) << c.conteudo;
    }
    std::filesystem::remove(pasta / "LCK..ttyUSB7");
    EXPECT_EQ(DonoPeloArquivoDeLock("/dev/ttyUSB7", pasta.string()), 0);
    std::filesystem::remove_all(pasta);
}

}  // namespace
}  // namespace tvx
