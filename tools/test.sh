#!/bin/sh
# Installs what is needed, checks formatting and the layer order of includes, then configures
# (tools/configure.sh: warnings are errors), builds and runs every test. CI's build then runs the README's
# run (tools/run.sh) and checks the editor's picture it paints (tools/check-run.sh), runs clang-tidy
# over every source (tools/tidy.sh) and fuzzes every parser within one budget of seconds that the targets
# share (tools/fuzz.sh --all). Each step ends with a line giving its wall time and the CPU time of the
# processes it ran.
#   tools/test.sh          clang, AddressSanitizer + UndefinedBehaviorSanitizer, our code instrumented for
#                          libFuzzer: one build for the tests and the fuzz targets (what CI runs)
#   tools/test.sh tsan     ThreadSanitizer
#   tools/test.sh release  plain optimised build, its tests, and the benchmarks built
# TROV_TIDY=0 leaves clang-tidy out; TROV_FUZZ_SECONDS sets the fuzzing budget (default 400 seconds,
# shared by all targets).
set -eu
cd "$(dirname "$0")/.."
mode=${1:-asan}
case "$mode" in
    asan | tsan | release) ;;
    *) echo "usage: tools/test.sh [asan|tsan|release]" >&2; exit 2 ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)

# Each step reports its wall seconds and the CPU seconds (user and system) of the processes it ran, read
# from the shell's `times` before and after.
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
cpu_seconds() {
    awk 'NR == 2 { for (i = 1; i <= 2; ++i) { split($i, t, "m"); s += t[1] * 60 + t[2] } printf "%d", s }' "$timing"
}
all_start=$(date +%s)
step() { # name, command...
    name=$1
    shift
    start=$(date +%s)
    times >"$timing"
    cpu=$(cpu_seconds)
    "$@"
    times >"$timing"
    echo "test.sh: $name: $(($(date +%s) - start)) s, $(($(cpu_seconds) - cpu)) CPU-s"
}

tools/install-deps.sh

# LLVM 14's clang-format and clang-tidy, installed when missing and run as root.
llvm14() { # tool
    if ! command -v "$1-14" >/dev/null && [ "$(id -u)" -eq 0 ]; then
        { apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -qq --no-install-recommends "$1-14"; } >/dev/null 2>&1 || true
    fi
    command -v "$1-14" || true
}

# Checks that need no build, so that they fail within seconds.
# Formatting: every tracked source exactly as clang-format 14 writes it with the checked-in .clang-format.
format=$(llvm14 clang-format)
format=${format:-$(command -v clang-format || true)}
if [ -z "$format" ] || ! "$format" --version | grep -q 'version 14\.'; then
    echo "test.sh: the format check needs clang-format 14 (Debian package clang-format-14)" >&2
    exit 1
fi
# The tracked sources; outside a usable git checkout, every source but the build folders.
sources() {
    git ls-files -z '*.cpp' '*.h' 2>/dev/null ||
        find . -path './build*' -prune -o -path ./.git -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0
}
checks() {
    if ! sources | xargs -0 "$format" --dry-run --Werror; then
        echo "test.sh: the files above are not formatted as .clang-format says; fix them with $format -i FILE..." >&2
        exit 1
    fi
    tools/check-layers.sh
}
step "format and layer checks" checks

build() {
    tools/configure.sh "$mode"
    cmake --build "build/$mode" -j "$jobs"
}
step build build

tests() {
    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:atexit_sleep_ms=0 \
        ctest --test-dir "build/$mode" --output-on-failure -j "$jobs"
}
step tests tests

# The README's run in CI's build: the optimised build renders the demo tune through the installed module,
# which paints its editor; the picture must be a PNG of the front panel (tools/check-run.sh).
if [ "$mode" = asan ]; then
    step "the README's run" tools/check-run.sh
fi

# clang-tidy over every source: it costs more than the build, and CI has the time for it.
if [ "$mode" = asan ] && [ "${TROV_TIDY:-1}" = 1 ]; then
    if [ -z "$(llvm14 clang-tidy)" ]; then
        echo "test.sh: the tidy check needs clang-tidy 14 (Debian package clang-tidy-14)" >&2
        exit 1
    fi
    step clang-tidy env TROV_TIDY_JOBS="$jobs" tools/tidy.sh
fi

# The fuzz targets, already built and their seeds replayed by the tests, now run under libFuzzer too.
if [ "$mode" = asan ]; then
    step fuzzing tools/fuzz.sh --all "${TROV_FUZZ_SECONDS:-400}"
fi
times >"$timing"
echo "test.sh: passed in $(($(date +%s) - all_start)) s, $(cpu_seconds) CPU-s"
