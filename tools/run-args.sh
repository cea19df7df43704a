# The arguments of tools/run.sh, read by its caller's shell (sourced, so it works on the caller's
# positional parameters). Expects caller (the folder it was run from), demo (the demo bank) and demo_view
# (the demo's own picture, build/release/demo.png); sets song (empty: the demo tune), output and view, and
# leaves the files to load (the demo bank when none is given) as "--load FILE" pairs in "$@". Paths
# become absolute against caller. Ends the script with status 2 and a line on stderr for a missing song
# or file to load, an output given with a song that is no MIDI file, an output named "-", a lone
# argument that is neither a MIDI file nor an output named .wav, or an output named alone after the song
# that the host program will not write over and the module may load (a WAV file it did not write, or a
# sample, bank, patch or tuning of another kind: files to load follow the output). The demo's own output
# (demo.wav beside demo_view) is the run command's to write whatever wrote it: old_output names it when it
# is there and no file the render reads, for the caller to remove.
#   tools/run.sh                          the demo tune with the demo bank into build/release/demo.wav
#   tools/run.sh OUT.wav                  the demo tune into OUT.wav
#   tools/run.sh IN.mid [OUT.wav [FILE...]]
# A song is known by its first bytes ("MThd"), whatever its name; a name ending in .mid, .midi, .smf or
# .kar (any case) is taken for a song that must exist.
# view is the editor's picture beside the output (its name with .png), painted only where no file is yet
# or over the demo's own picture; otherwise view is empty and view_left names the file left as it was.
# old_view names the demo's own picture when it is to be painted again and is no file the render reads,
# for the caller to remove (the host program paints over no picture it did not paint).

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

# A WAV or RF64 file without the host program's render mark (its chunk "cvhr" holding "corvale-host"
# before the audio), which the host program will not write over.
run_wav_of_others() {
    [ -f "$1" ] && od -An -v -tu1 -N 4096 "$1" | LC_ALL=C awk -v id=cvhr -v mark=corvale-host '
        { for (i = 1; i <= NF; i++) b[n++] = $i }
        function text(at, count,    s, i) {
            for (i = 0; i < count; i++) s = s sprintf("%c", b[at + i])
            return s
        }
        END {
            if (n < 12 || (text(0, 4) != "RIFF" && text(0, 4) != "RF64") || text(8, 4) != "WAVE") exit 1
            for (at = 12; at + 8 <= n; at += 8 + size + size % 2) {
                size = b[at + 4] + 256 * (b[at + 5] + 256 * (b[at + 6] + 256 * b[at + 7]))
                if (text(at, 4) == "data") break
                if (text(at, 4) == id) exit(size == length(mark) && text(at + 8, size) == mark)
            }
        }'
}

# A file the host program will not write over that the module may load: a WAV or RF64 file without the
# render mark, or any other file that is not empty and neither a RIFF file, a MIDI file nor a PNG picture
# (a sample, bank, patch or Scala tuning, whatever its name). Prints what it is.
run_to_load() {
    { [ -f "$1" ] && [ -s "$1" ]; } || return 1
    if run_wav_of_others "$1"; then
        echo "a WAV file that corvale-host did not write"
        return 0
    fi
    # RIFF, RF64, MThd, \211PNG
    case "$(head -c 4 "$1" | od -An -tx1 | tr -d ' \n')" in
        52494646 | 52463634 | 4d546864 | 89504e47) return 1 ;;
    esac
    echo "no WAV file"
}

song=""
output=build/release/demo.wav
demo_output=${demo_view%.*}.wav
if [ $# -eq 2 ] && run_is_midi "$(run_absolute "$1")" && ! [ "$(run_absolute "$2")" -ef "$demo_output" ] &&
    run_kind=$(run_to_load "$(run_absolute "$2")"); then
    echo "run.sh: $(run_absolute "$2") is $run_kind, left as it was:" \
        "files to load follow the output (tools/run.sh $1 out.wav $2)" >&2
    exit 2
fi
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
old_output=""
if [ "$output" -ef "$demo_output" ]; then
    old_output=$output
    for file in "$song" "$@"; do
        if [ "$file" -ef "$output" ]; then old_output=""; fi
    done
fi

case "$(basename "$output")" in
    *.*) view="${output%.*}.png" ;;
    *) view="$output.png" ;;
esac
view_left=""
if { [ -e "$view" ] || [ -L "$view" ]; } && ! [ "$view" -ef "$demo_view" ]; then
    view_left=$view
    view=""
fi
old_view=""
if [ -n "$view" ] && [ "$view" -ef "$demo_view" ]; then
    old_view=$view
    for file in "$song" "$@"; do
        if [ "$file" -ef "$view" ]; then old_view=""; fi
    done
fi
