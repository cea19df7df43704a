# The arguments of tools/run.sh, read by its caller's shell (sourced, so it works on the caller's
# positional parameters). Expects caller (the folder it was run from) and demo (the demo bank); sets song
# (empty: the demo tune) and output, and leaves the files to load (the demo bank when none is given) as
# "--load FILE" pairs in "$@". Paths
# become absolute against caller. Ends the script with status 2 and a line on stderr for a missing song
# or file to load, or an output given with a song that is no MIDI file.
#   tools/run.sh                          the demo tune with the demo bank into build/release/demo.wav
#   tools/run.sh OUT.wav                  the demo tune into OUT.wav
#   tools/run.sh IN.mid [OUT.wav [FILE...]]
# A song is known by its first bytes ("MThd"), whatever its name; a name ending in .mid, .midi, .smf or
# .kar (any case) is taken for a song that must exist.

run_absolute() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$caller/$1" ;; esac; }
run_is_midi() { [ -f "$1" ] && [ "$(head -c 4 "$1" 2>/dev/null)" = MThd ]; }

song=""
output=build/release/demo.wav
if [ $# -gt 0 ]; then
    first=$(run_absolute "$1")
    case "$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')" in
        *.mid | *.midi | *.smf | *.kar) named_song=yes ;;
        *) named_song=no ;;
    esac
    if run_is_midi "$first" || [ "$named_song" = yes ] || [ $# -gt 1 ]; then
        if [ ! -f "$first" ]; then
            echo "run.sh: no file $first" >&2
            exit 2
        fi
        if ! run_is_midi "$first"; then
            echo "run.sh: $first is no MIDI file (it does not start with MThd)" >&2
            exit 2
        fi
        song=$first
        # The song's name with .wav for its extension, if it has one.
        case "$(basename "$1")" in
            *.*) output=$(run_absolute "${2:-${1%.*}.wav}") ;;
            *) output=$(run_absolute "${2:-$1.wav}") ;;
        esac
        shift
        [ $# -eq 0 ] || shift
    else
        output=$first
        shift
    fi
fi
# The demo bank is built later; the files given must be there now.
for file do
    shift
    file=$(run_absolute "$file")
    if [ ! -f "$file" ]; then
        echo "run.sh: no file $file" >&2
        exit 2
    fi
    set -- "$@" --load "$file"
done
[ $# -gt 0 ] || set -- --load "$demo"
