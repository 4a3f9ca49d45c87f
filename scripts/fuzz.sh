#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) and runs
# each one for a bounded time, starting from its starting inputs in tests/fuzz/<target>.
# Fails on any crash, leak, per-input time-out, memory blow-up or sanitizer
# report; the input that caused it is kept under build-fuzz/artefatos/.
#
#   scripts/fuzz.sh [seconds per target (default 60)] [target ...]
#
# The targets open no socket (a seccomp filter in each refuses them) and send
# nothing anywhere; the equipment replies target talks to a pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")/.."

segundos=${1:-60}
[ $# -gt 0 ] && shift
if ! [[ $segundos =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: the time per target must be a whole number of seconds" >&2
    exit 2
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

falhas=()
for alvo in "${alvos[@]}"; do
    executavel="$binarios/$alvo"
    if [ ! -x "$executavel" ]; then
        echo "fuzz.sh: no such target: $alvo" >&2
        falhas+=("$alvo (missing)")
        continue
    fi
    # A working corpus per target that grows from run to run; the starting inputs in
    # the source tree stay as they are.
    corpus="build-fuzz/corpus/$alvo"
    mkdir -p "$corpus"
    if [ -d "tests/fuzz/$alvo" ]; then
        cp -n "tests/fuzz/$alvo"/* "$corpus"/ 2>/dev/null || true
    fi
    registro="$artefatos/$alvo.log"
    # Files a target works on go here; a crashing target cannot clear them.
    base=/tmp
    [ -w /dev/shm ] && base=/dev/shm
    TVX_FUZZ_PASTA=$(mktemp -d "$base/tvx-fuzz-run-XXXXXX")
    export TVX_FUZZ_PASTA
    echo "== $alvo: ${segundos}s"
    inicio=$(date +%s)
    set +e
    "$executavel" "$corpus" \
        -max_total_time="$segundos" -timeout=25 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$artefatos/$alvo-" \
        >"$registro" 2>&1
    codigo=$?
    set -e
    rm -rf "$TVX_FUZZ_PASTA"
    # A report printed without ending the process is a failure as well.
    if [ $codigo -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer' "$registro"; then
        echo "   FAILED (exit $codigo) after $(( $(date +%s) - inicio ))s; log: $registro"
        grep -E 'ERROR:|runtime error:|SUMMARY:|^fuzz_|Test unit written' "$registro" | head -20 | sed 's/^/   /'
        falhas+=("$alvo")
    else
        execucoes=$(sed -n 's/^stat::number_of_executed_units: *//p' "$registro")
        echo "   ok: ${execucoes:-?} inputs in $(( $(date +%s) - inicio ))s"
    fi
done

if [ ${#falhas[@]} -ne 0 ]; then
    echo "fuzz.sh: failed: ${falhas[*]}" >&2
    exit 1
fi
echo "fuzz.sh: every target ran clean"
