#!/usr/bin/env bash
# Line and branch coverage of the Qt-free library and the page logic by the
# whole test suite.
#
#     scripts/cobertura.sh [--html] [build folder, default build-cobertura]
#
# Builds the project with --coverage at -O0 in a folder of its own (ccache
# when installed), runs every test once and prints the two percentages of
# core/ transport/ protocols/ persistence/ paginas/. --html also writes a
# report per file to <build folder>/cobertura/index.html. Run it as root: the
# tests in isolated network namespaces are skipped otherwise, and what only
# they reach counts as not covered.
set -euo pipefail
cd "$(dirname "$0")/.."

html=0
if [[ ${1:-} == --html ]]; then
    html=1
    shift
fi
pasta=${1:-build-cobertura}
if [[ $(id -u) != 0 ]]; then
    echo "AVISO: sem root os testes em rede isolada são pulados e a cobertura sai menor" >&2
fi

lancador=()
if command -v ccache >/dev/null; then
    lancador=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$pasta" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${lancador[@]}" \
    -DCMAKE_CXX_FLAGS="--coverage -O0 -fprofile-update=atomic" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$pasta" -j2

# Counts from an earlier run would add to this one. The counters are updated
# atomically: the worker threads would otherwise race on them, and gcov would
# report negative branch counts.
find "$pasta" -name '*.gcda' -delete
estado=0
QT_QPA_PLATFORM=offscreen ctest --test-dir "$pasta" -j2 --timeout 600 --output-on-failure \
    >"$pasta/ctest.log" 2>&1 || estado=$?
tail -n 3 "$pasta/ctest.log"

filtros=()
for d in core transport protocols persistence paginas; do
    filtros+=(--filter "$PWD/$d/")
done
opcoes=(--root . --object-directory "$pasta" "${filtros[@]}" --exclude-throw-branches
        --exclude-unreachable-branches --gcov-ignore-parse-errors)
# The summary goes to stdout; the text report is kept in the build folder
# (never --output /dev/null: run as root, gcovr replaces the device with a file).
gcovr "${opcoes[@]}" --print-summary --output "$pasta/cobertura.txt" | grep -E '^(lines|branches):'
if ((html)); then
    mkdir -p "$pasta/cobertura"
    gcovr "${opcoes[@]}" --html-details "$pasta/cobertura/index.html"
    echo "relatório: $pasta/cobertura/index.html"
fi
if ((estado != 0)); then
    echo "FALHA: a suíte não passou inteira (veja $pasta/ctest.log)" >&2
fi
exit "$estado"
