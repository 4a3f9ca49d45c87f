#!/bin/sh
# Builds the Debian package and checks what it would install, without
# touching this system: the package is unpacked into a scratch folder only.
# With --instalar (as root, on a machine that may be changed, such as CI) it
# is then installed for real with apt-get, so that its dependencies resolve
# and its maintainer scripts run; the capabilities are checked by pinging
# 127.0.0.1 as an unprivileged user; then it is removed again.
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
for programa in tvxnetcfg tvxnetcfg-cli tvxnetcfg-sim; do
    confere "usr/bin/$programa is an executable" test -x "$r/usr/bin/$programa"
    confere "usr/bin/$programa finds every library" sh -c "! ldd '$r/usr/bin/$programa' | grep -q 'not found'"
done
confere "desktop entry" test -f "$r/usr/share/applications/tvxnetcfg.desktop"
confere "desktop entry starts tvxnetcfg" grep -qx 'Exec=tvxnetcfg' "$r/usr/share/applications/tvxnetcfg.desktop"
confere "desktop entry names the icon" grep -qx 'Icon=tvxnetcfg' "$r/usr/share/applications/tvxnetcfg.desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    confere "desktop entry is valid" desktop-file-validate "$r/usr/share/applications/tvxnetcfg.desktop"
fi
confere "icon 256x256" test -s "$r/usr/share/icons/hicolor/256x256/apps/tvxnetcfg.png"
confere "icon scalable" test -s "$r/usr/share/icons/hicolor/scalable/apps/tvxnetcfg.svg"
confere "nothing under /usr/local" test ! -e "$r/usr/local"
confere "no test program packaged" sh -c "! find '$r' -name 'testes_*' | grep -q ."

depende=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depende"
for pacote in libqt6core6 libqt6gui6 libqt6widgets6 libcap2-bin; do
    confere "depends on $pacote" sh -c "echo '$depende' | grep -q '$pacote'"
done

for script in postinst prerm postrm; do
    confere "$script is there and executable" test -x "$c/$script"
    confere "$script is valid sh" sh -n "$c/$script"
done
for programa in tvxnetcfg tvxnetcfg-cli; do
    confere "postinst grants both capabilities to $programa" \
        grep -q "for programa in .*/usr/bin/$programa\( \|;\|\$\)" "$c/postinst"
    confere "prerm removes them from $programa" grep -q "/usr/bin/$programa" "$c/prerm"
done
confere "postinst runs setcap cap_net_raw,cap_net_admin+ep" \
    grep -q 'setcap cap_net_raw,cap_net_admin+ep' "$c/postinst"
confere "postinst grants nothing to the simulator" sh -c "! grep -v '^ *#' '$c/postinst' | grep -q tvxnetcfg-sim"
confere "prerm runs setcap -r" grep -q 'setcap -r' "$c/prerm"

# The postinst's own command on the unpacked copy (the real /usr/bin is not touched).
if command -v getcap >/dev/null 2>&1 && setcap cap_net_raw,cap_net_admin+ep "$r/usr/bin/tvxnetcfg-cli" 2>/dev/null; then
    confere "setcap gives tvxnetcfg-cli cap_net_admin,cap_net_raw=ep" \
        sh -c "getcap '$r/usr/bin/tvxnetcfg-cli' | grep -q 'cap_net_admin,cap_net_raw=ep'"
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
        for programa in tvxnetcfg tvxnetcfg-cli; do
            confere "installed $programa has cap_net_admin,cap_net_raw=ep" \
                sh -c "getcap /usr/bin/$programa | grep -q 'cap_net_admin,cap_net_raw=ep'"
        done
        confere "installed tvxnetcfg-sim has no capability" \
            sh -c "[ -x /usr/bin/tvxnetcfg-sim ] && [ -z \"\$(getcap /usr/bin/tvxnetcfg-sim)\" ]"
        # The echo test of the headless front end, as a technician without
        # root: loopback only, a few seconds.
        trabalho="$rascunho/nobody"
        mkdir -p "$trabalho"
        chown nobody "$trabalho"
        (cd "$trabalho" && timeout 60 runuser -u nobody -- /usr/bin/tvxnetcfg-cli --model 15 \
            --medium 1 --address 127.0.0.1 --ip 127.0.0.1 test >saida 2>&1) || true
        confere "an unprivileged user pings 127.0.0.1 with the installed tvxnetcfg-cli" \
            grep -q "^IP programado OK\.\$" "$trabalho/saida"
        confere "apt-get removes the package" \
            env DEBIAN_FRONTEND=noninteractive apt-get remove -y tvxnetcfg
        confere "nothing left in /usr/bin" sh -c "! ls /usr/bin/tvxnetcfg* 2>/dev/null | grep -q ."
    fi
fi
if [ "$falhas" -ne 0 ]; then
    echo "$falhas check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
