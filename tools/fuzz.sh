#!/bin/sh
# Builds the libFuzzer targets with clang and runs one for a while.
#   tools/fuzz.sh                  list the targets
#   tools/fuzz.sh NAME [SECONDS]   fuzz NAME (default 60 s), seeded from tests/data/fuzz/NAME
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTROV_FUZZ=ON -DTROV_SANITIZE=address,undefined -DTROV_BUILD_BENCH=OFF >/dev/null
if [ $# -eq 0 ]; then
    ls tests/fuzz/*_fuzz.cpp 2>/dev/null | xargs -n1 basename | sed 's/\.cpp$//'
    exit 0
fi
name=$1
seconds=${2:-60}
cmake --build build/fuzz --target "$name"
corpus="build/fuzz/corpus/$name"
mkdir -p "$corpus"
LSAN_OPTIONS="suppressions=$(pwd)/tools/fuzz-lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
    "build/fuzz/tests/$name" -max_total_time="$seconds" "$corpus" "tests/data/fuzz/$name"
