#pragma once
// Why a serial port could not be opened, in words a technician can act on:
// the device is not there, the user may not open it (and how to join the
// group that may), another program holds it (and which one, when a lock
// says so), or it is no serial device at all.
#include <sys/types.h>

#include <string>

namespace tvx {

// caminho: the device file that was opened; erro: the errno of the failure.
std::string MotivoFalhaSerial(const std::string& caminho, int erro);

// The live process other than this one that a UUCP lock file (LCK..NAME,
// NAME the device's own name, under /run/lock or /var/lock, or pasta when
// given) names for caminho; 0 when there is none or its holder is gone.
pid_t DonoPeloArquivoDeLock(const std::string& caminho, const std::string& pasta = "");

// The process holding a lock on caminho in the kernel's list of file locks
// (/proc/locks, or arquivo when given); 0 when none does.
pid_t DonoPeloLockDoKernel(const std::string& caminho, const std::string& arquivo = "/proc/locks");

}  // namespace tvx
