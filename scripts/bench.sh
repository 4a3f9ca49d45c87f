#!/bin/sh
# The benchmarks of docs/performance.md, against the simulator only.
#
#   scripts/bench.sh [build-folder]      (default: build; built with cmake first)
#
# The run benchmarks reach the factory address 192.168.0.101, so they run in a
# network namespace of their own (unshare -n, as root) where only lo exists:
# the device address is put on lo and the new address's network is routed
# into nothing. Nothing leaves the machine. Without root those are skipped.
set -eu

raiz=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$raiz/build}" && pwd)  # the script moves to a scratch folder
saida="$build/bench"
mkdir -p "$saida"
cmake --build "$build" -j 2 --target tvx_nucleo tvx_sim tvx_ui tvx_plano >/dev/null

cxx=${CXX:-c++}
qt=$(pkg-config --cflags --libs Qt6Widgets)
comum="-std=c++20 -O2 -Wall -Wextra -Werror -fPIC -I$raiz -I$build/ui/tvx_ui_autogen/include"
$cxx $comum -o "$saida/bench_execucao" "$raiz/bench/bench_execucao.cpp" \
    "$build/sim/libtvx_sim.a" "$build/libtvx_nucleo.a" -pthread
# shellcheck disable=SC2086
$cxx $comum -o "$saida/bench_ui" "$raiz/bench/bench_ui.cpp" \
    "$build/ui/libtvx_ui.a" "$build/libtvx_plano.a" "$build/libtvx_paginas.a" \
    "$build/sim/libtvx_sim.a" "$build/libtvx_nucleo.a" $qt -lcsv -pthread
$cxx $comum -o "$saida/bench_plano" "$raiz/bench/bench_plano.cpp" "$build/libtvx_plano.a" \
    "$build/libtvx_paginas.a" "$build/sim/libtvx_sim.a" "$build/libtvx_nucleo.a" -lcsv -pthread

echo "== machine"
echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores online"
echo "memory: $(grep MemTotal /proc/meminfo | awk '{print $2 " KiB"}'); load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "kernel: $(uname -r); compiler: $($cxx --version | head -n1); Qt: $(pkg-config --modversion Qt6Widgets)"

pasta=$(mktemp -d "${TMPDIR:-/tmp}/tvx-bench.XXXXXX")
trap 'rm -rf "$pasta"' EXIT INT TERM
cd "$pasta"    # the page writes its log here, and rotates it

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$pasta"
echo "== progress box"
"$saida/bench_ui" caixa 1000
rm -f tvxnetcfg*.log
"$saida/bench_ui" caixa 100000
rm -f tvxnetcfg*.log

echo "== plan: check of 1 000 rows; state file and report per device at 1 000 rows"
"$saida/bench_plano" verificar
"$saida/bench_plano" escrita

echo "== start-up (10 alternating starts each; first page painted, from exec)"
for i in 1 2 3 4 5 6 7 8 9 10; do
    for modo in tvx nu; do
        antes=$(date +%s%N)
        linha=$("$saida/bench_ui" inicio "$modo")
        depois=$(echo "$linha" | sed 's/.*shown-at-ns=\([0-9]*\).*/\1/')
        rss=$(echo "$linha" | sed 's/.*peak-rss=\([0-9]*\).*/\1/')
        echo "$modo $(( (depois - antes) / 1000 )) $rss"
    done
done | awk '
    { t[$1] = t[$1] " " $2; s[$1] += $2; n[$1]++; r[$1] += $3 }
    END {
        for (m in s) printf "inicio %-3s mean=%.1f ms  peak-rss mean=%.0f KiB  (us:%s)\n", m, s[m]/n[m]/1000, r[m]/n[m], t[m]
        printf "ratio start-up=%.3f  peak-rss=%.3f\n", s["tvx"]/s["nu"], r["tvx"]/r["nu"]
    }'

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null 2>&1; then
    echo "== runs skipped: they need root for an isolated network namespace"
    exit 0
fi
isolado() {
    unshare -n sh -c '
        set -e
        [ "$(ip -o link show | awk -F": " "{print \$2}")" = "lo" ] || { echo "namespace not isolated" >&2; exit 1; }
        ip link set lo up
        ip addr add 192.168.0.101/32 dev lo
        ip route add 10.0.0.0/24 dev lo scope link
        sysctl -qw net.ipv4.ping_group_range="0 2147483647"
        exec "$@"' sh "$@"
}
echo "== run overhead (family 10, model 3, factory address; programming with restart and countdown)"
isolado "$saida/bench_execucao" "${PROGRAMACOES:-3}" "${LEITURAS:-20}"
echo "== plan overhead per device (model 3: programming with restart and countdown, then a read)"
isolado "$saida/bench_plano" execucao "${DISPOSITIVOS:-3}"
echo "== event loop while a programming run is active"
isolado "$saida/bench_ui" bloqueio
rm -f tvxnetcfg*.log
