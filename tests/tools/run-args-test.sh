#!/bin/sh
# Proves that tools/run-args.sh (the arguments of tools/run.sh) takes a song by its content and never for
# an output, keeps every file to load in order, and refuses what it cannot play.
#   tests/tools/run-args-test.sh [PATH TO run-args.sh]
set -eu
args=${1:-"$(dirname "$0")/../../tools/run-args.sh"}
args=$(cd "$(dirname "$args")" && pwd)/$(basename "$args")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cd "$work"
printf 'MThd\000\000\000\006\000\000\000\001\000\140' >Song.Mid
cp Song.Mid tune
printf 'RIFF' >old.wav
printf 'not midi' >notes.mid
: >bank.kmd
: >just.scl

# Runs the arguments in a subshell; prints "song|output|loads..." or the status it ended with.
plan() {
    (
        caller=$work
        demo=/demo/demo.kmd
        . "$args"
        printf '%s|%s' "$song" "$output"
        for word do printf '|%s' "$word"; done
        echo
    ) 2>/dev/null || echo "status $?"
}
expect() { # description, wanted, arguments...
    what=$1
    wanted=$2
    shift 2
    got=$(plan "$@")
    if [ "$got" != "$wanted" ]; then
        echo "FAIL $what: got '$got', wanted '$wanted'" >&2
        failures=$((failures + 1))
    fi
}

expect "no arguments: the demo" "|build/release/demo.wav|--load|/demo/demo.kmd"
expect "an output alone" "|$work/out.wav|--load|/demo/demo.kmd" out.wav
expect "a song named in capitals is the song, not the output" \
    "$work/Song.Mid|$work/Song.wav|--load|/demo/demo.kmd" Song.Mid
expect "a song without a MIDI name is known by its content" "$work/tune|$work/tune.wav|--load|/demo/demo.kmd" tune
expect "a song, an output and several files in order" \
    "$work/Song.Mid|$work/out.wav|--load|$work/bank.kmd|--load|$work/just.scl" Song.Mid out.wav bank.kmd just.scl
expect "absolute paths stay" "$work/tune|/tmp/x.wav|--load|/demo/demo.kmd" "$work/tune" /tmp/x.wav
expect "a missing song" "status 2" missing.mid
expect "a MIDI name that holds no MIDI file" "status 2" notes.mid
expect "an output with something that is no song" "status 2" old.wav out.wav
expect "a missing file to load" "status 2" Song.Mid out.wav missing.kmd

if [ "$failures" -gt 0 ]; then
    echo "run-args-test.sh: $failures failed" >&2
    exit 1
fi
echo "run-args-test.sh: all passed"
