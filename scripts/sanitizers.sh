#!/usr/bin/env bash
# The test suite under the sanitizers:
#  1. every test under AddressSanitizer + UndefinedBehaviorSanitizer (with
#     leak detection), preset asan-ubsan;
#  2. the tests of the worker thread, the progress messages, the threads and
#     events, the echo series and the runs under ThreadSanitizer, preset tsan
#     (built without the Qt wizard).
# Every sanitizer report is fatal, and a report that some process printed
# without failing its test still fails this script.
#
#   scripts/sanitizers.sh [asan|tsan]   (both when no argument is given)
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD

etapas=("${@:-asan tsan}")
read -r -a etapas <<<"${etapas[*]}"

# Reports that must fail the run, as the sanitizers print them.
readonly kAssinaturas='ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|WARNING: ThreadSanitizer|SUMMARY: (Address|Leak|Thread|UndefinedBehavior)Sanitizer'

# Only third-party libraries may be listed there, never our code.
supressoes="$raiz/scripts/lsan.supp"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$supressoes:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:history_size=4"
export QT_QPA_PLATFORM=offscreen

# Looks through the full output of every test of the last ctest run.
conferir_saidas() {
    local pasta=$1 registro="$1/Testing/Temporary/LastTest.log"
    if [ ! -f "$registro" ]; then
        echo "sanitizers.sh: no test log in $pasta" >&2
        return 1
    fi
    if grep -qE "$kAssinaturas" "$registro"; then
        echo "sanitizers.sh: sanitizer reports in $registro:" >&2
        grep -nE "$kAssinaturas" "$registro" | head -40 >&2
        return 1
    fi
}

asan() {
    local inicio=$SECONDS
    cmake --preset asan-ubsan
    cmake --build --preset asan-ubsan
    ctest --preset asan-ubsan --timeout 900
    conferir_saidas build-asan
    echo "sanitizers.sh: asan-ubsan clean in $((SECONDS - inicio))s"
}

# The suites that run code on more than one thread (worker thread and its
# event, progress messages, echo and echo series, the runs, also as the
# command-line front end makes them), and any other test whose name says it
# involves a thread. The fault matrix is not among them: it holds each
# simulated serial reply to its one-second wait, which ThreadSanitizer's
# slowdown cannot keep; its threads are the runs' own, which the run tests
# here cover (it runs whole under AddressSanitizer). Names as `ctest -N`
# lists them; TVX_TSAN_TESTES overrides the pattern.
readonly kSuitesThreads='^(Thread|EventoAutoReset|Progresso|EquipamentoProgresso|ExecucaoDoTrabalhador|Trabalhador|SerieEco[A-Za-z]*|Pingar|Execucao[A-Za-z]*|Fluxo[A-Za-z]*|Rodada[A-Za-z]*|CliExecucao|PlanoExecucao)\.|Thread'

tsan() {
    local inicio=$SECONDS padrao=${TVX_TSAN_TESTES:-$kSuitesThreads}
    cmake --preset tsan
    # Only the programs that hold those tests (and what they start).
    cmake --build --preset tsan --target testes_core testes_sim testes_cli testes_plano
    local quantos
    quantos=$(ctest --preset tsan -N -R "$padrao" | sed -n 's/^Total Tests: //p')
    if [ "${quantos:-0}" -eq 0 ]; then
        echo "sanitizers.sh: no test matches $padrao" >&2
        return 1
    fi
    echo "sanitizers.sh: $quantos tests under ThreadSanitizer"
    # ThreadSanitizer of gcc 12 aborts ("unexpected memory mapping") on
    # kernels that spread mappings with more address randomisation than it
    # expects; without randomisation the tests run the same. Where the
    # container does not allow turning it off, the tests run as they are.
    local semAleatorio=()
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        semAleatorio=(setarch "$(uname -m)" -R)
    fi
    "${semAleatorio[@]}" ctest --preset tsan -R "$padrao" --timeout 900
    conferir_saidas build-tsan
    echo "sanitizers.sh: tsan clean in $((SECONDS - inicio))s"
}

for etapa in "${etapas[@]}"; do
    case $etapa in
        asan) asan ;;
        tsan) tsan ;;
        *)
            echo "sanitizers.sh: unknown step '$etapa' (asan or tsan)" >&2
            exit 2
            ;;
    esac
done
