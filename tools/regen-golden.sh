#!/bin/sh
# Rewrites the golden renders' stored checksum and coarse levels (tests/data/golden/phrase.checksum and
# phrase.levels) from CI's build (tools/configure.sh asan: clang, RelWithDebInfo, AddressSanitizer and
# UndefinedBehaviorSanitizer, our code instrumented for libFuzzer) in build/asan. Run it only when the sound
# changes on purpose, and say in the commit why it changed.
#   tools/regen-golden.sh
set -eu
cd "$(dirname "$0")/.."
build=build/asan
tools/configure.sh asan
cmake --build "$build" -j "${TROV_JOBS:-3}" --target corvale_golden_tests
TROV_UPDATE_GOLDEN=1 "$build/tests/golden/corvale_golden_tests" \
    --gtest_filter=GoldenRender.ThePhraseMatchesTheStoredChecksumAndLevels
# The stored files must now pass as they are.
"$build/tests/golden/corvale_golden_tests" --gtest_filter=GoldenRender.ThePhraseMatchesTheStoredChecksumAndLevels
git --no-pager diff --stat -- tests/data/golden
