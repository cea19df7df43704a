#!/bin/sh
# Installs what is needed, builds optimised (GCC, warnings as errors), installs the module `corvale` with
# its data folder and demo bank under build/release/install (lib/corvale.so, share/corvale), writes the
# registry store that names that data folder, an empty user store and a log folder, and renders the demo
# tune through the module and the demo bank into a WAV file.
#   tools/run.sh [OUTPUT.wav]      default: build/release/demo.wav
# TROV_STARTUP_SEED fixes the module's start-up seed (unset: the host program picks one and names it).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

module_key="Software/Vennikt/Corvale"

output=${1:-build/release/demo.wav}
jobs=$(nproc 2>/dev/null || echo 2)
build=build/release
install=$build/install

tools/install-deps.sh
# The release configuration of tools/test.sh: GCC, warnings as errors.
tools/configure.sh release
cmake --build "$build" -j "$jobs" --target corvale trov_demo corvale-host corvale-install-keys corvale-demo-midi

rm -rf "$install"
cmake --install "$build" --prefix "$install" >/dev/null
data="$root/$install/share/corvale"
module="$install/lib/corvale.so"
bank="$data/demo/demo.kmd"
for file in "$module" "$data/resources.xml" "$data/settings.xml" "$bank"; do
    if [ ! -f "$file" ]; then
        echo "run.sh: the installation lacks $file" >&2
        exit 1
    fi
done
mkdir -p "$install/state"
"$build/hostapp/corvale-install-keys" "$install/machine.reg" "$module_key" \
    InstallPath="$data" ResourcesXmlFile=resources.xml SettingsXmlFile=settings.xml
"$build/hostapp/corvale-demo-midi" "$install/demo.mid"

TROV_MACHINE_REGISTRY="$root/$install/machine.reg" \
TROV_USER_REGISTRY="$root/$install/user.reg" \
XDG_STATE_HOME="$root/$install/state" \
    "$build/hostapp/corvale-host" render --load "$bank" "$module" "$install/demo.mid" "$output"
