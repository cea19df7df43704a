#!/bin/sh
# Proves that tools/run-args.sh (the arguments of tools/run.sh) takes a song by its content and never for
# an output, keeps every file to load in order, refuses what it cannot play or write (a sample named alone
# as the output among it), and paints the editor's picture and renders over no file but the demo's own.
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
printf 'RIFF\004\000\000\000WAVEdata\000\000\000\000' >kick.wav
printf 'FORM\000\000\000\004AIFF' >bell.aiff
printf 'RIFF\034\000\000\000WAVEcvhr\014\000\000\000corvale-hostdata\000\000\000\000' >render.wav
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
# The same for other values the arguments set: the text given, its variables expanded once they are read.
sourced() {
    shown=$1
    shift
    (
        caller=$work
        demo=/demo/demo.kmd
        demo_view=$work/build/release/demo.png
        . "$args"
        eval "echo \"$shown\""
    ) 2>/dev/null || echo "status $?"
}
# The editor's picture: "view|the file left as it was"; the demo's own output, removed before the render.
picture() { sourced '$view|$view_left' "$@"; }
removed() { sourced '$old_output' "$@"; }
repainted() { sourced '$old_view' "$@"; }
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

expect "a sample named alone as the output" "status 2" Song.Mid kick.wav
said=$( (caller=$work demo=/demo/demo.kmd demo_view=/none && set -- Song.Mid kick.wav && . "$args") 2>&1 || true)
case "$said" in
    *"files to load follow the output (tools/run.sh Song.Mid out.wav kick.wav)") ;;
    *) echo "FAIL a sample named as the output is told: got '$said'" >&2; failures=$((failures + 1)) ;;
esac
expect "a sample of another kind named alone as the output" "status 2" Song.Mid bell.aiff
said=$( (caller=$work demo=/demo/demo.kmd demo_view=/none && set -- Song.Mid bell.aiff && . "$args") 2>&1 || true)
case "$said" in
    "run.sh: $work/bell.aiff is no WAV file, left as it was: files to load follow the output"*) ;;
    *) echo "FAIL a sample of another kind named as the output is told: got '$said'" >&2; failures=$((failures + 1)) ;;
esac
expect "the host program's own render as the output" "$work/Song.Mid|$work/render.wav|--load|/demo/demo.kmd" \
    Song.Mid render.wav
expect "a WAV file as the output before files to load" "$work/Song.Mid|$work/kick.wav|--load|$work/bank.kmd" \
    Song.Mid kick.wav bank.kmd

how=picture
expect "the picture beside the output" "$work/Song.png|" Song.Mid
mkdir -p build/release
printf '\211PNG\r\n\032\n' >Song.png
cp Song.png build/release/demo.png
expect "an existing picture is left as it was" "|$work/Song.png" Song.Mid
expect "the demo's own picture is painted again" "build/release/demo.png|"

how=removed
cp kick.wav build/release/demo.wav
expect "the demo's own output is removed before the render, whatever wrote it" "build/release/demo.wav"
expect "also named alone after a song" "$work/build/release/demo.wav" Song.Mid build/release/demo.wav
expect "but not when the render loads it" "" Song.Mid build/release/demo.wav build/release/demo.wav
expect "no other output is removed" "" Song.Mid kick.wav bank.kmd

how=repainted
expect "the demo's own picture is removed before it is painted again" "build/release/demo.png"
expect "but not when the render loads it" "" Song.Mid build/release/demo.wav build/release/demo.png
expect "no other picture is removed" "" Song.Mid

if [ "$failures" -gt 0 ]; then
    echo "run-args-test.sh: $failures failed" >&2
    exit 1
fi
echo "run-args-test.sh: all passed"
