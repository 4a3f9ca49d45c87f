#!/bin/sh
# Builds the Debian package and checks what it would install, without
# touching this system: the package is unpacked into a scratch folder only.
# With --instalar (as root, on a machine that may be changed, such as CI) it
# is then installed for real with apt-get, so that its dependencies resolve
# and its maintainer scripts run; inside a network namespace of its own, where
# the user nobody may open no ICMP socket, nobody's echoes to 127.0.0.1 and
# stale ARP removal go through the capable helper; then it is removed again.
#
#   scripts/verificar-pacote.sh [--instalar] [build-folder]  (default: build-pacote)
#
# JOBS sets the build's parallel jobs (default 2).
#
# Exit status 0 when every check passed; each failed check is listed.
set -eu

raiz=$(cd "$(dirname "$0")/.." && pwd)
instalar=0
if [ "${1:-}" = "--instalar" ]; then
    instalar=1
    shift
fi
build=${1:-"$raiz/build-pacote"}
jobs=${JOBS:-2}

# A folder already configured is used as it is (tests and all); a new one is
# configured for the package alone.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$raiz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$jobs"
(cd "$build" && cpack -G DEB >/dev/null)

deb=$(ls -t "$build"/tvxnetcfg_*.deb | head -n 1)
[ -f "$deb" ] || { echo "no package was built" >&2; exit 1; }
deb=$(realpath "$deb")  # apt-get takes a local package by its path only
echo "package: $deb"

rascunho=$(mktemp -d "${TMPDIR:-/tmp}/tvx-pacote.XXXXXX")
trap 'rm -rf "$rascunho"' EXIT INT TERM
dpkg-deb -x "$deb" "$rascunho/raiz"
dpkg-deb -e "$deb" "$rascunho/controle"

falhas=0
confere() {  # description, then the command that must succeed
    descricao=$1
    shift
    if "$@" >"$rascunho/confere.log" 2>&1; then
        echo "ok    $descricao"
    else
        echo "FALHA $descricao"
        tail -n 15 "$rascunho/confere.log" | sed 's/^/      /'
        falhas=$((falhas + 1))
    fi
}

r="$rascunho/raiz"
c="$rascunho/controle"
auxiliar=usr/libexec/tvxnetcfg/tvxnetcfg-rede
for programa in usr/bin/tvxnetcfg usr/bin/tvxnetcfg-cli usr/bin/tvxnetcfg-sim $auxiliar; do
    confere "$programa is an executable" test -x "$r/$programa"
    confere "$programa finds every library" sh -c "! ldd '$r/$programa' | grep -q 'not found'"
done
confere "the helper links no Qt" sh -c "! ldd '$r/$auxiliar' | grep -qi qt"
confere "the helper refuses a malformed call with status 2" \
    sh -c "'$r/$auxiliar' eco 127.0.0.01 32 1000 2>/dev/null; [ \$? -eq 2 ]"
confere "desktop entry" test -f "$r/usr/share/applications/tvxnetcfg.desktop"
confere "desktop entry starts tvxnetcfg" grep -qx 'Exec=tvxnetcfg' "$r/usr/share/applications/tvxnetcfg.desktop"
confere "desktop entry names the icon" grep -qx 'Icon=tvxnetcfg' "$r/usr/share/applications/tvxnetcfg.desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    confere "desktop entry is valid" desktop-file-validate "$r/usr/share/applications/tvxnetcfg.desktop"
fi
confere "icon 256x256" test -s "$r/usr/share/icons/hicolor/256x256/apps/tvxnetcfg.png"
confere "icon scalable" test -s "$r/usr/share/icons/hicolor/scalable/apps/tvxnetcfg.svg"
confere "man page of tvxnetcfg-cli" test -s "$r/usr/share/man/man1/tvxnetcfg-cli.1"
confere "the man page has its sections" sh -c "for s in SYNOPSIS OPTIONS 'EXIT STATUS' FILES EXAMPLES; do grep -q \"^\\.SH \$s\" '$r/usr/share/man/man1/tvxnetcfg-cli.1' || exit 1; done"
confere "technician's guide" test -s "$r/usr/share/doc/tvxnetcfg/guia-do-tecnico.md"
confere "nothing under /usr/local" test ! -e "$r/usr/local"
confere "no test program packaged" sh -c "! find '$r' -name 'testes_*' | grep -q ."

depende=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depende"
for pacote in libqt6core6 libqt6gui6 libqt6widgets6 libcsv3 libcap2-bin; do
    confere "depends on $pacote" sh -c "echo '$depende' | grep -q '$pacote'"
done

for script in postinst prerm postrm; do
    confere "$script is there and executable" test -x "$c/$script"
    confere "$script is valid sh" sh -n "$c/$script"
done
for script in postinst prerm; do
    confere "$script names the helper" grep -qx "auxiliar=/$auxiliar" "$c/$script"
    confere "$script touches nothing in /usr/bin" sh -c "! grep -v '^ *#' '$c/$script' | grep -q /usr/bin"
done
confere "postinst runs setcap cap_net_raw,cap_net_admin+ep on the helper" \
    grep -q 'setcap cap_net_raw,cap_net_admin+ep "$auxiliar"' "$c/postinst"
confere "prerm runs setcap -r on the helper" grep -q 'setcap -r "$auxiliar"' "$c/prerm"

# The postinst's own command on the unpacked copy (the real system is not touched).
if command -v getcap >/dev/null 2>&1 && setcap cap_net_raw,cap_net_admin+ep "$r/$auxiliar" 2>/dev/null; then
    confere "setcap gives the helper cap_net_admin,cap_net_raw=ep" \
        test "$(getcap "$r/$auxiliar")" = "$r/$auxiliar cap_net_admin,cap_net_raw=ep"
else
    echo "skip  setcap on the unpacked copy (needs CAP_SETFCAP)"
fi
confere "the unpacked tvxnetcfg-cli runs" "$r/usr/bin/tvxnetcfg-cli" --help
confere "the unpacked tvxnetcfg-sim runs" "$r/usr/bin/tvxnetcfg-sim" --help

echo "contents:"
(cd "$r" && find . -type f | sort | sed 's/^\./  /')

if [ "$instalar" -eq 1 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "FALHA --instalar needs root" >&2
        falhas=$((falhas + 1))
    elif dpkg-query -W -f='${Status}' tvxnetcfg 2>/dev/null | grep -q "install ok installed"; then
        echo "FALHA tvxnetcfg is already installed here; not touching it" >&2
        falhas=$((falhas + 1))
    else
        confere "apt-get installs the package and its dependencies" \
            env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"
        confere "installed helper has exactly cap_net_admin,cap_net_raw=ep" \
            test "$(getcap /$auxiliar)" = "/$auxiliar cap_net_admin,cap_net_raw=ep"
        for programa in tvxnetcfg tvxnetcfg-cli tvxnetcfg-sim; do
            confere "installed $programa has no capability" \
                sh -c "[ -x /usr/bin/$programa ] && [ -z \"\$(getcap /usr/bin/$programa)\" ]"
        done
        # The headless front end as a technician without root, in a network
        # namespace of its own where nobody may open no ICMP socket: the echoes
        # to 127.0.0.1 and the stale ARP removal can only go through the
        # helper; a permanent entry must stay. A few seconds.
        trabalho="$rascunho/nobody"
        mkdir -p "$trabalho"
        chown nobody "$trabalho"
        cat >"$rascunho/isolado.sh" <<'FIM'
set -eu
[ "$(ip -o link show | wc -l)" -eq 1 ] || { echo "the new namespace holds more than lo" >&2; exit 1; }
ip link set lo up
echo "1 0" >/proc/sys/net/ipv4/ping_group_range
ip link add tvxa type veth peer name tvxb
ip link set tvxa up
ip link set tvxb up
ip addr add 10.78.0.1/24 dev tvxa
ip neigh replace 10.78.0.5 lladdr 02:00:00:00:00:05 dev tvxa nud stale
ip neigh replace 10.78.0.6 lladdr 02:00:00:00:00:06 dev tvxa nud permanent
cli() { timeout 60 runuser -u nobody -- /usr/bin/tvxnetcfg-cli --model 15 --medium 1 --address 127.0.0.1 --ip "$1" --mask 255.0.0.0 test; }
cli 127.0.0.1 >eco 2>&1 || true
cli 10.78.0.5 >arp 2>&1 || true
cli 10.78.0.6 >>arp 2>&1 || true
ip -4 neigh show nud all dev tvxa >vizinhos
FIM
        confere "a network namespace with lo alone for the unprivileged checks" \
            sh -c "cd '$trabalho' && unshare -n sh '$rascunho/isolado.sh'"
        confere "nobody, with no ICMP socket, pings 127.0.0.1 through the helper" \
            grep -q "^IP programado OK\.\$" "$trabalho/eco"
        confere "nobody's run removes a stale ARP entry through the helper" \
            sh -c "! grep -q 02:00:00:00:00:05 '$trabalho/vizinhos'"
        confere "a permanent ARP entry survives" \
            grep -q "^10.78.0.6 lladdr 02:00:00:00:00:06 PERMANENT" "$trabalho/vizinhos"
        confere "apt-get removes the package" \
            env DEBIAN_FRONTEND=noninteractive apt-get remove -y tvxnetcfg
        confere "nothing left in /usr/bin" sh -c "! ls /usr/bin/tvxnetcfg* 2>/dev/null | grep -q ."
        confere "nothing left in /usr/libexec" test ! -e /usr/libexec/tvxnetcfg
    fi
fi
if [ "$falhas" -ne 0 ]; then
    echo "$falhas check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
