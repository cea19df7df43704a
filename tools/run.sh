#!/bin/sh
# Installs what is needed, builds optimised (GCC, warnings as errors), installs the module with its data
# folder and demo bank and the host program under build/release/install (lib/corvale.so, share/corvale,
# bin/corvale-host), writes the registry store that names that data folder and its files (the editor's
# specification controls.xml and its skins in images/ among them), an empty user store and a log folder,
# renders a standard MIDI file through the module into a WAV file, and has the module paint its editor into
# a PNG file beside it (OUT.png), unless a file of that name is there already (other than the demo's own
# build/release/demo.png), which is left as it was.
#   tools/run.sh                             the demo tune with the demo bank into build/release/demo.wav
#   tools/run.sh OUT.wav                     the demo tune into OUT.wav (named .wav)
#   tools/run.sh IN.mid [OUT.wav [FILE...]]  IN.mid into OUT.wav (default: IN with .wav), with each FILE (a
#                                            bank, patch, Scala tuning or sample file) loaded in order, the
#                                            demo bank by default
# A song is known by its content (any MIDI file, whatever its name); the host program writes over no file
# but a WAV file it rendered itself (build/release/demo.wav is this command's whatever wrote it), an output
# named alone after the song that is another WAV file or a sample, bank, patch or tuning of another kind is
# refused (files to load follow the output), and the output cannot be "-". TROV_STARTUP_SEED fixes the
# module's start-up seed (unset: the host program picks one and names it).
set -eu
caller=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)

module_key="Software/Vennikt/Corvale"
build=build/release
install=$build/install
data="$root/$install/share/corvale"

# Relative paths are the caller's: made absolute before anything runs from the repository's root.
demo="$data/demo/demo.kmd"
demo_view="$root/$build/demo.png"
. "$root/tools/run-args.sh"

jobs=$(nproc 2>/dev/null || echo 2)
tools/install-deps.sh
# The release configuration of tools/test.sh: GCC, warnings as errors.
tools/configure.sh release
cmake --build "$build" -j "$jobs" --target corvale trov_demo corvale-host corvale-install-keys corvale-demo-midi

rm -rf "$install"
cmake --install "$build" --prefix "$install" >/dev/null
module="$install/lib/corvale.so"
host="$install/bin/corvale-host"
for file in "$module" "$host" "$data/resources.xml" "$data/settings.xml" "$data/controls.xml" "$demo"; do
    if [ ! -f "$file" ]; then
        echo "run.sh: the installation lacks $file" >&2
        exit 1
    fi
done
mkdir -p "$install/state"
"$install/bin/corvale-install-keys" "$install/machine.reg" "$module_key" \
    InstallPath="$data" ResourcesXmlFile=resources.xml SettingsXmlFile=settings.xml \
    ControlsXmlFile=controls.xml ImagesDir=images
if [ -z "$song" ]; then
    song="$install/demo.mid"
    "$build/hostapp/corvale-demo-midi" "$song"
fi

[ -z "$view" ] || set -- "$@" --view "$view"
# The demo's own output and picture may be an older version's, without the mark the host program looks for.
[ -z "$old_output" ] || rm -f "$old_output"
[ -z "$old_view" ] || rm -f "$old_view"
TROV_MACHINE_REGISTRY="$root/$install/machine.reg" \
TROV_USER_REGISTRY="$root/$install/user.reg" \
XDG_STATE_HOME="$root/$install/state" \
    "$host" render "$@" "$module" "$song" "$output"
if [ -n "$view" ]; then
    echo "run.sh: the editor is painted in $view"
else
    echo "run.sh: the editor is not painted: $view_left is there already, left as it was"
fi
