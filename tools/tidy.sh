#!/bin/sh
# Runs clang-tidy 14 with the checked-in .clang-tidy over every source of ours in the compilation
# database; any finding fails the run.
#   tools/tidy.sh              every source
#   tools/tidy.sh REGEX...     only the sources whose path matches one of the regular expressions
# The database is build/tidy's, configured with CI's compiler and options but without precompiled headers
# (tools/configure.sh tidy; no build needed). TROV_TIDY_JOBS sets the parallel runs (default: all
# processors).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TROV_TIDY_JOBS:-$(nproc 2>/dev/null || echo 2)}

tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
if [ -z "$tidy" ] || ! "$tidy" --version | grep -q 'version 14\.'; then
    echo "tidy.sh: needs clang-tidy 14 (Debian package clang-tidy-14)" >&2
    exit 1
fi

build=build/tidy
tools/configure.sh tidy

# Headers of ours only, never the system's or the build folder's. A warning option of GCC's in the database
# would be unknown to clang, which says so once per file unless told not to. The checkout's path is matched
# as it is, whatever characters it holds.
# shellcheck disable=SC2016
root_pattern=$(printf '%s' "$root" | sed 's/[][\\.|$(){}?+*^]/\\&/g')
filter="^$root_pattern/(platform|framework|plugin|engine|instance|host|instrument|gui|imaging|tests|bench)/"
quiet=-Wno-unknown-warning-option

log="$build/tidy.log"
start=$(date +%s)
runner=$(command -v run-clang-tidy-14 || true)
if [ -n "$runner" ]; then
    status=0
    "$runner" -clang-tidy-binary "$tidy" -p "$build" -j "$jobs" -quiet -header-filter "$filter" \
        -extra-arg="$quiet" "$@" >"$log" 2>&1 || status=$?
else
    # One clang-tidy per source, $jobs at a time.
    pattern=.
    [ $# -eq 0 ] || pattern=$(printf '%s|' "$@" | sed 's/|$//')
    status=0
    sed -n 's/^ *"file": "\(.*\)",*$/\1/p' "$build/compile_commands.json" | sort -u | grep -E "$pattern" |
        tr '\n' '\0' | xargs -0 -P "$jobs" -n 1 "$tidy" -p "$build" --quiet --header-filter="$filter" \
            --extra-arg="$quiet" >"$log" 2>&1 || status=$?
fi
seconds=$(($(date +%s) - start))

# Findings only (file:line:column: warning/error: text [check]), each once though many sources include it;
# run-clang-tidy colours its output.
esc=$(printf '\033')
findings=$(sed -e "s/$esc\[[0-9;]*m//g" "$log" |
    prefix=$root/ awk 'index($0, ENVIRON["prefix"]) == 1 { $0 = substr($0, length(ENVIRON["prefix"]) + 1) } 1' |
    grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' | sort -u || true)
if [ -n "$findings" ] || [ "$status" -ne 0 ]; then
    if [ -n "$findings" ]; then
        printf '%s\n' "$findings"
    else
        tail -n 40 "$log"
    fi
    echo "tidy.sh: $(printf '%s\n' "$findings" | grep -c . || true) finding(s) in ${seconds}s; full output in $log" >&2
    exit 1
fi
echo "tidy.sh: clean in ${seconds}s"
