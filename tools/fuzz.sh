#!/bin/sh
# Fuzzes the parsers with libFuzzer, in CI's build (build/asan: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, our code instrumented for libFuzzer), seeded from tests/data/fuzz/NAME.
#   tools/fuzz.sh                  list the targets
#   tools/fuzz.sh NAME [SECONDS]   fuzz NAME (default 60 s)
#   tools/fuzz.sh --all [SECONDS]  fuzz every target, sharing SECONDS (default 400) among them, as many at
#                                  a time as there are processors (TROV_FUZZ_JOBS); one line per target
#                                  with its runs, then one verdict line. What tools/test.sh runs.
# Corpora, logs and crashing inputs go to build/asan/fuzz/. LeakSanitizer takes the suppressions of
# tools/fuzz-lsan.supp.
set -eu
cd "$(dirname "$0")/.."
build=build/asan
out=$build/fuzz
# The path quoted, as the sanitizers read their options: a checkout's path may hold a space or a colon.
LSAN_OPTIONS="suppressions=\"$(pwd)/tools/fuzz-lsan.supp\"${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
targets=$(ls tests/fuzz/*_fuzz.cpp 2>/dev/null | xargs -n1 basename | sed 's/\.cpp$//')
if [ $# -eq 0 ]; then
    printf '%s\n' "$targets"
    exit 0
fi

# One bounded run, for --all: fuzz.sh run NAME SECONDS writes $out/NAME.log and its exit status and runs
# to $out/NAME.result.
if [ "$1" = run ]; then
    name=$2
    mkdir -p "$out/corpus/$name"
    status=0
    "$build/tests/$name" -max_total_time="$3" -timeout=60 -max_len=65536 -artifact_prefix="$out/$name-" \
        "$out/corpus/$name" "tests/data/fuzz/$name" >"$out/$name.log" 2>&1 || status=$?
    runs=$(sed -n 's/^Done \([0-9]*\) runs in .*/\1/p' "$out/$name.log" | tail -n 1)
    echo "$status ${runs:-0}" >"$out/$name.result"
    exit 0
fi

tools/install-deps.sh
tools/configure.sh asan

if [ "$1" != --all ]; then
    name=$1
    cmake --build "$build" --target "$name"
    mkdir -p "$out/corpus/$name"
    exec "$build/tests/$name" -max_total_time="${2:-60}" -artifact_prefix="$out/$name-" "$out/corpus/$name" \
        "tests/data/fuzz/$name"
fi

budget=${2:-400}
jobs=${TROV_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
count=$(printf '%s\n' "$targets" | wc -l)
share=$((budget / count))
[ "$share" -ge 1 ] || share=1
# shellcheck disable=SC2086
cmake --build "$build" --target $targets
mkdir -p "$out"
start=$(date +%s)
printf '%s\n' "$targets" | xargs -P "$jobs" -I{} sh tools/fuzz.sh run {} "$share"
seconds=$(($(date +%s) - start))

failed=""
total=0
for name in $targets; do
    read -r status runs <"$out/$name.result"
    total=$((total + runs))
    if [ "$status" -eq 0 ]; then
        echo "fuzz: $name: $runs runs"
    else
        tail -n 40 "$out/$name.log"
        echo "fuzz: $name: FAILED (log: $out/$name.log)"
        failed="$failed $name"
    fi
done
if [ -n "$failed" ]; then
    echo "fuzz: FAILED:$failed; $total runs over $count targets in ${seconds}s" >&2
    exit 1
fi
echo "fuzz: passed: $total runs over $count targets, ${share}s each, in ${seconds}s"
