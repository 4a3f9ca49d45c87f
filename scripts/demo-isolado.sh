#!/usr/bin/env bash
# Programs a simulated meter at the factory address 192.168.0.101 without a
# single packet leaving this computer: everything runs in a network namespace
# of its own that holds only "lo". Needs root (unshare -n).
#
#   scripts/demo-isolado.sh [MODEL] [ACTION]      default: model 3 (TVX5150S), program
#
# Any other command can be run in the same kind of namespace with
#   scripts/demo-isolado.sh --shell
set -euo pipefail
raiz="$(cd "$(dirname "$0")/.." && pwd)"
build="${TVX_BUILD:-$raiz/build}"
modelo="${1:-3}"
acao="${2:-program}"

if [ "$(id -u)" -ne 0 ]; then
    echo "demo-isolado: needs root to create a network namespace (unshare -n)" >&2
    exit 2
fi

if [ -z "${TVX_DENTRO_DO_NAMESPACE:-}" ]; then
    exec env TVX_DENTRO_DO_NAMESPACE=1 unshare -n "$0" "$@"
fi

ip link set lo up
interfaces=$(ip -o link show | wc -l)
if [ "$interfaces" -ne 1 ]; then
    echo "demo-isolado: the namespace is not isolated ($interfaces interfaces); stopping" >&2
    exit 1
fi
ip addr add 192.168.0.101/32 dev lo

if [ "$modelo" = "--shell" ]; then
    echo "Isolated namespace: only lo, holding 127.0.0.1 and 192.168.0.101. 'exit' leaves it."
    exec bash -i
fi

pasta=$(mktemp -d)
: > "$pasta/tvxnetcfg.ini"   # a folder of its own: the demo's profile and log stay in it
trap 'kill "$sim" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$pasta"' EXIT
"$build/sim/tvxnetcfg-sim" --model "$modelo" --address 192.168.0.101 --allow-any-address \
    > "$pasta/sim.log" 2>&1 &
sim=$!
sleep 0.5
cd "$pasta"
set +e
"$build/cli/tvxnetcfg-cli" --model "$modelo" --medium 0 --ip 10.0.0.5 --mask 255.255.255.0 \
    --gateway 10.0.0.1 "$acao"
resultado=$?
set -e
echo
echo "---- what the simulated equipment saw ----"
cat "$pasta/sim.log"
exit "$resultado"
