// Who holds a serial port, as a UUCP lock file tells: the forms programs
// write, and the holders that no longer count.
#include <gtest/gtest.h>
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
    const int32_t binario = 1;
    struct Caso {
        std::string conteudo;
        pid_t dono;
    } casos[] = {
        {"         1\n", 1},  // the usual form: ten columns and a line break
        {std::string(reinterpret_cast<const char*>(&binario), 4), 1},  // old binary form
        {std::to_string(getpid()) + "\n", 0},                          // our own lock
        {"4194305\n", 0},                                              // a stale one
    };
    for (const Caso& c : casos) {
        std::ofstream(pasta / "LCK..ttyUSB7", std::ios::binary) << c.conteudo;
        EXPECT_EQ(DonoPeloArquivoDeLock("/dev/ttyUSB7", pasta.string()), c.dono) << c.conteudo;
    }
    std::filesystem::remove_all(pasta);
}

}  // namespace
}  // namespace tvx
