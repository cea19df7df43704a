#!/bin/sh
# Installs what is needed, builds optimised, lays out an installation under build/release/install (the
# module's data, its registry store, a user store and a log folder) and renders the demo tune through the
# module into a WAV file.
#   tools/run.sh [OUTPUT.wav]      default: build/release/demo.wav
# What is installed and played is set below; the rest stays the same whatever the module.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

module_target=corvale_test_module
module_data=tests/hostproduct/data
module_key="Software/Trovato/Corvale Test"
resources_file=resources.xml
settings_file=specification.xml
bank=""                                  # a bank or patch to load first (empty: none)

output=${1:-build/release/demo.wav}
jobs=$(nproc 2>/dev/null || echo 2)
build=build/release
install=$build/install

tools/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs" --target corvale-host corvale-install-keys corvale-demo-midi "$module_target"
module=$(find "$build" -name "lib$module_target.so" -o -name "$module_target.so" | head -n 1)
if [ -z "$module" ]; then
    echo "run.sh: the module $module_target was not built" >&2
    exit 1
fi

rm -rf "$install"
mkdir -p "$install/data" "$install/state"
cp -R "$module_data/." "$install/data/"
"$build/hostapp/corvale-install-keys" "$install/machine.reg" "$module_key" \
    InstallPath="$root/$install/data" ResourcesXmlFile="$resources_file" SettingsXmlFile="$settings_file"
"$build/hostapp/corvale-demo-midi" "$install/demo.mid"

set -- render
[ -n "$bank" ] && set -- "$@" --load "$bank"
TROV_MACHINE_REGISTRY="$root/$install/machine.reg" \
TROV_USER_REGISTRY="$root/$install/user.reg" \
XDG_STATE_HOME="$root/$install/state" \
    "$build/hostapp/corvale-host" "$@" "$module" "$install/demo.mid" "$output"
