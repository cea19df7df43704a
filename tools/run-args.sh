# The arguments of tools/run.sh, read by its caller's shell (sourced, so it works on the caller's
# positional parameters). Expects caller (the folder it was run from), demo (the demo bank) and demo_view
# (the demo's own picture, build/release/demo.png); sets song (empty: the demo tune), output and view, and
# leaves the files to load (the demo bank when none is given) as "--load FILE" pairs in "$@". Paths
# become absolute against caller. Ends the script with status 2 and a line on stderr for a missing song
# or file to load, an output given with a song that is no MIDI file, an output named "-", or a lone
# argument that is neither a MIDI file nor an output named .wav.
#   tools/run.sh                          the demo tune with the demo bank into build/release/demo.wav
#   tools/run.sh OUT.wav                  the demo tune into OUT.wav
#   tools/run.sh IN.mid [OUT.wav [FILE...]]
# A song is known by its first bytes ("MThd"), whatever its name; a name ending in .mid, .midi, .smf or
# .kar (any case) is taken for a song that must exist.
# view is the editor's picture beside the output (its name with .png), painted only where no file is yet
# or over the demo's own picture; otherwise view is empty and view_left names the file left as it was.

run_absolute() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$caller/$1" ;; esac; }
run_is_midi() { [ -f "$1" ] && [ "$(head -c 4 "$1" 2>/dev/null)" = MThd ]; }
run_lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }
# As the host program refuses it: an output written to standard output could not be finished.
run_no_dash() {
    if [ "$1" = - ]; then
        echo "run.sh: the output cannot be '-' (standard output): a WAV file is finished by seeking back to" \
            "its header; name a file" >&2
        exit 2
    fi
}

song=""
output=build/release/demo.wav
if [ $# -gt 0 ]; then
    first=$(run_absolute "$1")
    case "$(run_lower "$1")" in
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
        run_no_dash "${2:-}"
        song=$first
        # The song's name with .wav for its extension, if it has one.
        case "$(basename "$1")" in
            *.*) output=$(run_absolute "${2:-${1%.*}.wav}") ;;
            *) output=$(run_absolute "${2:-$1.wav}") ;;
        esac
        shift
        [ $# -eq 0 ] || shift
    else
        # The demo tune's output: a song's name typed without .mid would otherwise become a WAV file.
        run_no_dash "$1"
        case "$(run_lower "$1")" in
            *.wav) ;;
            *)
                if [ -e "$first" ]; then
                    echo "run.sh: $first is no MIDI file (it does not start with MThd)," \
                        "nor an output named .wav" >&2
                else
                    echo "run.sh: there is no MIDI file $first (the demo tune's output is named .wav)" >&2
                fi
                exit 2
                ;;
        esac
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

case "$(basename "$output")" in
    *.*) view="${output%.*}.png" ;;
    *) view="$output.png" ;;
esac
view_left=""
if { [ -e "$view" ] || [ -L "$view" ]; } && ! [ "$view" -ef "$demo_view" ]; then
    view_left=$view
    view=""
fi
