#!/bin/sh
# Installs what is needed, configures, builds and runs every test.
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
cmake -S . -B "build/$mode" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DTROV_SANITIZE="$sanitize" >/dev/null
cmake --build "build/$mode" -j "$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:atexit_sleep_ms=0 \
    ctest --test-dir "build/$mode" --output-on-failure -j "$jobs"

# The fuzz targets also run under libFuzzer for a bounded number of inputs (clang), on top of the seed
# replay above.
if [ "$mode" = asan ] && [ -n "$(ls tests/fuzz/*_fuzz.cpp 2>/dev/null)" ] && command -v clang++ >/dev/null; then
    targets=$(ls tests/fuzz/*_fuzz.cpp | xargs -n1 basename | sed 's/\.cpp$//')
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTROV_FUZZ=ON -DTROV_SANITIZE=address,undefined -DTROV_BUILD_BENCH=OFF >/dev/null
    # shellcheck disable=SC2086
    cmake --build build/fuzz -j "$jobs" --target $targets
    for target in $targets; do
        mkdir -p "build/fuzz/corpus/$target"
        if ! "build/fuzz/tests/$target" -runs="${TROV_FUZZ_RUNS:-20000}" -max_len=65536 \
            -artifact_prefix="build/fuzz/$target-" "build/fuzz/corpus/$target" "tests/data/fuzz/$target" \
            >"build/fuzz/$target.log" 2>&1; then
            tail -n 40 "build/fuzz/$target.log"
            echo "fuzz target $target failed" >&2
            exit 1
        fi
        tail -n 1 "build/fuzz/$target.log"
    done
fi
