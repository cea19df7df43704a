#!/bin/sh
# Proves that tools/run-args.sh (the arguments of tools/run.sh) takes a song by its content and never for
# an output, keeps every file to load in order, refuses what it cannot play or write, and paints the
# editor's picture over no file but the demo's own.
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
        demo_view=$work/build/release/demo.png
        . "$args"
        printf '%s|%s' "$song" "$output"
        for word do printf '|%s' "$word"; done
        echo
    ) 2>/dev/null || echo "status $?"
}
# The same for the editor's picture: "view|the file left as it was".
picture() {
    (
        caller=$work
        demo=/demo/demo.kmd
        demo_view=$work/build/release/demo.png
        . "$args"
        echo "$view|$view_left"
    ) 2>/dev/null || echo "status $?"
}
expect() { # description, wanted, arguments...
    what=$1
    wanted=$2
    shift 2
    got=$(${how:-plan} "$@")
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
expect "an output named -" "status 2" Song.Mid -
expect "the demo tune's output named -" "status 2" -
expect "a song's name typed without .mid" "status 2" Song
said=$( (caller=$work demo=/demo/demo.kmd demo_view=/none && set -- Song && . "$args") 2>&1 || true)
case "$said" in
    "run.sh: there is no MIDI file $work/Song "*) ;;
    *) echo "FAIL a missing song without .mid is named: got '$said'" >&2; failures=$((failures + 1)) ;;
esac

how=picture
expect "the picture beside the output" "$work/Song.png|" Song.Mid
mkdir -p build/release
printf '\211PNG\r\n\032\n' >Song.png
cp Song.png build/release/demo.png
expect "an existing picture is left as it was" "|$work/Song.png" Song.Mid
expect "the demo's own picture is painted again" "build/release/demo.png|"

if [ "$failures" -gt 0 ]; then
    echo "run-args-test.sh: $failures failed" >&2
    exit 1
fi
echo "run-args-test.sh: all passed"
