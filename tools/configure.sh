#!/bin/sh
# Configures build/MODE as tools/test.sh builds it, warnings as errors; further arguments go to cmake (a
# compiler launcher for local builds, for instance).
#   tools/configure.sh asan [ARG...]     clang, AddressSanitizer and UndefinedBehaviorSanitizer, our code
#                                        instrumented for libFuzzer: one set of libraries serves the test
#                                        programs and the fuzz targets (CI's build)
#   tools/configure.sh tsan [ARG...]     ThreadSanitizer (the default compiler, GCC)
#   tools/configure.sh release [ARG...]  plain optimised, with the benchmarks (GCC)
#   tools/configure.sh tidy [ARG...]     the compilation database alone, for tools/tidy.sh: CI's compiler
#                                        and options without precompiled headers (clang-tidy reads every
#                                        header itself)
set -eu
cd "$(dirname "$0")/.."
mode=${1:-}
[ $# -eq 0 ] || shift
ci="-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DTROV_SANITIZE=address,undefined -DTROV_FUZZ=ON -DTROV_BUILD_BENCH=OFF"
case "$mode" in
    asan) options=$ci ;;
    tsan) options="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROV_SANITIZE=thread -DTROV_BUILD_BENCH=OFF" ;;
    release) options="-DCMAKE_BUILD_TYPE=Release -DTROV_SANITIZE= -DTROV_BUILD_BENCH=ON" ;;
    tidy) options="$ci -DTROV_PCH=OFF" ;;
    *) echo "usage: tools/configure.sh asan|tsan|release|tidy [CMAKE ARGUMENT...]" >&2; exit 2 ;;
esac
# A folder configured with another compiler starts afresh: cmake would run its first pass with the old one.
cache=build/$mode/CMakeCache.txt
case "$options" in
    *clang*)
        if [ -f "$cache" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' "$cache"; then
            echo "configure.sh: build/$mode was configured with another compiler; configuring it afresh" >&2
            rm -rf "$cache" "build/$mode/CMakeFiles"
        fi
        ;;
esac
# shellcheck disable=SC2086
cmake -S . -B "build/$mode" -G Ninja $options -DTROV_WERROR=ON "$@" >/dev/null
