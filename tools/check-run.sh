#!/bin/sh
# The README's run as CI runs it: tools/run.sh builds, installs and renders the demo tune with the demo
# bank, and the module paints its editor. The render must be a WAV file that sounds (its peak between -20
# and 0 dBFS) and ends in silence (its last 100 ms below -100 dBFS: corvale-check-render), and the picture a
# PNG file of the front panel's size (the background's in data/controls.xml) that shows the panel: at least
# half of its pixels are those of the panel's skin (corvale-check-render --view), which a view painted
# without its skins lacks.
#   tools/check-run.sh
set -eu
cd "$(dirname "$0")/.."
out=build/release/check-run
rm -rf "$out"
mkdir -p "$out"
tools/run.sh "$out/demo.wav"

fail() {
    echo "check-run.sh: $*" >&2
    exit 1
}
wav="$out/demo.wav"
png="$out/demo.png"
[ "$(od -An -c -N4 "$wav" | tr -d ' \n')" = RIFF ] || fail "$wav is not a WAV file"
cmake --build build/release --target corvale-check-render >/dev/null
# It names what failed itself.
levels=$(build/release/hostapp/corvale-check-render "$wav") || exit 1
[ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG file"
# The image header's width and height, 32-bit big-endian after the signature and the chunk's length and type.
size=$(od -An -tu1 -j16 -N8 "$png" |
    awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }')
# The background's width and height: the first ones after its id in the specification.
panel=$(awk '/"special::background"/ { found = 1 }
    found && match($0, /name="width" value="[0-9]+"/) {
        w = substr($0, RSTART, RLENGTH); gsub(/[^0-9]/, "", w)
        match($0, /name="height" value="[0-9]+"/)
        h = substr($0, RSTART, RLENGTH); gsub(/[^0-9]/, "", h)
        print w "x" h; exit
    }' data/controls.xml)
[ -n "$panel" ] || fail "data/controls.xml gives the background no size"
[ "$size" = "$panel" ] || fail "$png is $size, the front panel $panel"
# The panel's skin: the installed resource description's file for the background.
data=build/release/install/share/corvale
skin=$(sed -n 's/.*<dict name="special::background"><string name="filename" value="\([^"]*\)".*/\1/p' \
    "$data/resources.xml")
[ -n "$skin" ] || fail "$data/resources.xml names no skin for the front panel"
shown=$(build/release/hostapp/corvale-check-render --view "$png" "$data/images/$skin") || exit 1
echo "check-run.sh: $levels; $png shows the $panel front panel (${shown#"$png: "})"
