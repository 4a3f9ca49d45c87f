#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) and runs
# each one from its starting inputs in tests/fuzz/<target>, for a bounded time
# or a number of inputs. Fails on any crash, leak, per-input time-out, memory
# blow-up or sanitizer report; the input that caused it is kept under
# build-fuzz/artefatos/.
#
#   scripts/fuzz.sh [-j TARGETS AT A TIME] [seconds per target (default 60)] [target ...]
#   scripts/fuzz.sh [-j N] --entradas INPUTS [target ...]     # the long mode
#
# The long mode runs each target for that many inputs, however long it takes
# (run it at low priority: nice -n 19). Each target's line gives its inputs,
# the rate, the coverage it reached (libFuzzer's cov and ft) and its corpus.
#
# The targets open no socket (a seccomp filter in each refuses them) and send
# nothing anywhere; the equipment replies target talks to a pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")/.."

paralelos=1
entradas=
segundos=60
while [ $# -gt 0 ]; do
    case $1 in
        -j) paralelos=${2:-}; shift 2 || shift ;;
        --entradas) entradas=${2:-}; shift 2 || shift ;;
        *) break ;;
    esac
done
if ! [[ $paralelos =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: -j takes the number of targets run at a time" >&2
    exit 2
fi
if [ -n "$entradas" ] && ! [[ $entradas =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: --entradas takes a whole number of inputs per target" >&2
    exit 2
fi
if [ -z "$entradas" ] && [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
    segundos=$1
    shift
fi
if ! [[ $segundos =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: the time per target must be a whole number of seconds" >&2
    exit 2
fi
if [ -n "$entradas" ]; then
    limite=(-runs="$entradas")
    medida="$entradas inputs"
else
    limite=(-max_total_time="$segundos")
    medida="${segundos}s"
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

binarios=build-fuzz/fuzz
artefatos=build-fuzz/artefatos
mkdir -p "$artefatos"

alvos=("$@")
if [ ${#alvos[@]} -eq 0 ]; then
    while IFS= read -r caminho; do
        alvos+=("$(basename "$caminho")")
    done < <(find "$binarios" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
fi
if [ ${#alvos[@]} -eq 0 ]; then
    echo "fuzz.sh: no fuzz targets were built" >&2
    exit 1
fi

# Every report ends the process with an error; leaks count as reports.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:symbolize=1:detect_stack_use_after_return=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="report_objects=1"
# The processes' own locale must not matter to what the targets check.
export LC_ALL=C

# Runs one target and prints its lines at once, so that targets run side by
# side do not mix them; a failure leaves <target>.falhou beside its log.
rodar() {
    local alvo=$1
    local executavel="$binarios/$alvo"
    rm -f "$artefatos/$alvo.falhou"
    if [ ! -x "$executavel" ]; then
        echo "fuzz.sh: no such target: $alvo" >&2
        touch "$artefatos/$alvo.falhou"
        return
    fi
    # A working corpus per target that grows from run to run; the starting
    # inputs in the source tree stay as they are.
    local corpus="build-fuzz/corpus/$alvo"
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/$alvo" ]; then
        cp -n "tests/fuzz/$alvo"/* "$corpus"/ 2>/dev/null || true
    fi
    local registro="$artefatos/$alvo.log"
    # Files a target works on go here; a crashing target cannot clear them.
    local base=/tmp
    [ -w /dev/shm ] && base=/dev/shm
    local pasta
    pasta=$(mktemp -d "$base/tvx-fuzz-run-XXXXXX")
    local inicio codigo
    inicio=$(date +%s)
    set +e
    TVX_FUZZ_PASTA=$pasta "$executavel" "$corpus" \
        "${limite[@]}" -timeout=25 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$artefatos/$alvo-" \
        >"$registro" 2>&1
    codigo=$?
    set -e
    rm -rf "$pasta"
    local duracao=$(($(date +%s) - inicio))
    # A report printed without ending the process is a failure as well.
    if [ $codigo -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer' "$registro"; then
        touch "$artefatos/$alvo.falhou"
        local motivos
        motivos=$(grep -E 'ERROR:|runtime error:|SUMMARY:|^fuzz_|Test unit written' "$registro" |
            head -20 | sed 's/^/   /' || true)
        printf '%s\n%s\n' "== $alvo: FAILED (exit $codigo) after ${duracao}s; log: $registro" "$motivos"
    else
        local execucoes taxa final
        execucoes=$(sed -n 's/^stat::number_of_executed_units: *//p' "$registro")
        taxa=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$registro")
        final=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[^ ]+' "$registro" | tail -1 || true)
        printf '%s\n' "== $alvo: ok: ${execucoes:-?} inputs in ${duracao}s (${taxa:-?}/s), ${final:-no coverage line}"
    fi
}

echo "fuzz.sh: ${#alvos[@]} targets, $medida each, $paralelos at a time"
for alvo in "${alvos[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$paralelos" ]; do
        wait -n || true
    done
    rodar "$alvo" &
done
wait

falhas=()
for alvo in "${alvos[@]}"; do
    if [ -e "$artefatos/$alvo.falhou" ]; then
        falhas+=("$alvo")
    fi
done
if [ ${#falhas[@]} -ne 0 ]; then
    echo "fuzz.sh: failed: ${falhas[*]}" >&2
    exit 1
fi
echo "fuzz.sh: every target ran clean"
