#!/bin/sh
# Installs what is needed, checks formatting and the layer order of includes, then configures (warnings
# are errors), builds and runs every test; the AddressSanitizer run also fuzzes every parser for a bounded
# time. TROV_TIDY=1 adds clang-tidy (tools/tidy.sh) after the tests.
#   tools/test.sh          AddressSanitizer + UndefinedBehaviorSanitizer (what CI runs)
#   tools/test.sh tsan     ThreadSanitizer
#   tools/test.sh release  plain optimised build
set -eu
cd "$(dirname "$0")/.."
mode=${1:-asan}
case "$mode" in
    asan) sanitize="address,undefined"; type=RelWithDebInfo ;;
    tsan) sanitize="thread"; type=RelWithDebInfo ;;
    release) sanitize=""; type=Release ;;
    *) echo "usage: tools/test.sh [asan|tsan|release]" >&2; exit 2 ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)

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
if ! sources | xargs -0 "$format" --dry-run --Werror; then
    echo "test.sh: the files above are not formatted as .clang-format says; fix them with $format -i FILE..." >&2
    exit 1
fi
tools/check-layers.sh

cmake -S . -B "build/$mode" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DTROV_SANITIZE="$sanitize" -DTROV_WERROR=ON \
    >/dev/null
cmake --build "build/$mode" -j "$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:atexit_sleep_ms=0 \
    ctest --test-dir "build/$mode" --output-on-failure -j "$jobs"

# clang-tidy over every source, with the compilation database just built (about as long as the build, so
# CI leaves it out; run it before submitting).
if [ "$mode" = asan ] && [ "${TROV_TIDY:-0}" = 1 ]; then
    if [ -z "$(llvm14 clang-tidy)" ]; then
        echo "test.sh: the tidy check needs clang-tidy 14 (Debian package clang-tidy-14)" >&2
        exit 1
    fi
    TROV_TIDY_JOBS=$jobs tools/tidy.sh
fi

# The fuzz targets also run under libFuzzer for a bounded number of inputs and seconds each (clang), on top
# of the seed replay above.
if [ "$mode" = asan ] && [ -n "$(ls tests/fuzz/*_fuzz.cpp 2>/dev/null)" ] && command -v clang++ >/dev/null; then
    targets=$(ls tests/fuzz/*_fuzz.cpp | xargs -n1 basename | sed 's/\.cpp$//')
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTROV_FUZZ=ON -DTROV_SANITIZE=address,undefined -DTROV_BUILD_BENCH=OFF -DTROV_WERROR=ON >/dev/null
    # shellcheck disable=SC2086
    cmake --build build/fuzz -j "$jobs" --target $targets
    for target in $targets; do
        mkdir -p "build/fuzz/corpus/$target"
        if ! "build/fuzz/tests/$target" -runs="${TROV_FUZZ_RUNS:-20000}" -max_total_time="${TROV_FUZZ_SECONDS:-20}" \
            -max_len=65536 \
            -artifact_prefix="build/fuzz/$target-" "build/fuzz/corpus/$target" "tests/data/fuzz/$target" \
            >"build/fuzz/$target.log" 2>&1; then
            tail -n 40 "build/fuzz/$target.log"
            echo "fuzz target $target failed" >&2
            exit 1
        fi
        tail -n 1 "build/fuzz/$target.log"
    done
fi
