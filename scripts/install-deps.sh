#!/usr/bin/env bash
# Installs what building, running and testing TVXNetCfg needs on Debian 12.
#
#   scripts/install-deps.sh [--fuzz]
#
# --fuzz also installs the fuzzing toolchain (scripts/fuzz.sh): clang, its
# libFuzzer and sanitizer runtimes, and llvm-symbolizer for readable reports.
set -euo pipefail
pacotes=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev qt6-base-dev iproute2 util-linux
         fonts-dejavu-core
         # plans of devices: their CSV
         libcsv-dev
         # the package (cpack): dependencies from dpkg-shlibdeps, setcap/getcap
         dpkg-dev libcap2-bin)
for opcao in "$@"; do
    case "$opcao" in
        --fuzz) pacotes+=(clang libclang-rt-14-dev llvm) ;;
        *) echo "install-deps: unknown option $opcao (use --fuzz)" >&2; exit 2 ;;
    esac
done
falta=()
for p in "${pacotes[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || falta+=("$p")
done
[ ${#falta[@]} -eq 0 ] && exit 0
comando=()
[ "$(id -u)" -eq 0 ] || comando=(sudo)
"${comando[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${comando[@]}" apt-get install -y "${falta[@]}"
