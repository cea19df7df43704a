#!/bin/sh
# Proves that tools/check-layers.sh passes a tree that keeps the layer order and rejects each kind of
# include out of place, planted one at a time into a copy of that tree.
#   tests/tools/check-layers-test.sh [PATH TO check-layers.sh]
set -eu
check=${1:-"$(dirname "$0")/../../tools/check-layers.sh"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A small tree with one header per layer, each including the layer below it.
base="$work/base"
add() { # file, include lines...
    file="$base/$1"
    shift
    mkdir -p "$(dirname "$file")"
    : >"$file"
    for line in "$@"; do
        printf '%s\n' "$line" >>"$file"
    done
}
add platform/Clock.h '#include <cstdint>'
add platform/draw/Surface.h '#include "platform/Clock.h"'
add platform/hostsdk/HostSide.h '#include <cstdint>'
add platform/hostsdk/HostSdk.h '#include "platform/hostsdk/HostSide.h"' '#include "platform/Clock.h"'
add framework/Radio.h '#include "platform/Clock.h"'
add plugin/Parameter.h '#include "framework/Radio.h"' '#include "platform/Clock.h"'
add engine/Voice.h '#include "plugin/Parameter.h"'
add engine/Voice.cpp '#include "engine/Voice.h"' '#include "Voice.h"' '#include <vector>' \
    '#include "engine/modules/Module.h"'
add engine/io/Channel.h '#include "plugin/Parameter.h"'
add engine/notes/Note.h '#include "engine/io/Channel.h"'
add engine/samples/Sample.h '#include "engine/notes/Note.h"' '#include "engine/io/Channel.h"'
add engine/dsp/Mixer.h '#include "engine/samples/Sample.h"' '#include "engine/modules/Module.h"'
add engine/modules/Module.h '#include "engine/dsp/Mixer.h"' '#include "engine/voices/Voice.h"'
add engine/voices/Voice.h '#include "engine/modules/Module.h"' '#include "engine/zones/Zone.h"'
add engine/zones/Zone.h '#include "engine/samples/Sample.h"'
add instance/Instance.h '#include "engine/Voice.h"'
add host/Host.h '#include "instance/Instance.h"' '#include "platform/hostsdk/HostSdk.h"'
add hostapp/Render.cpp '#include "hostapp/Render.h"' '#include "platform/hostsdk/HostSide.h"' '#include <dlfcn.h>'
add hostapp/Render.h '#include <cstdint>'
add module/Globals.cpp '#include "host/Host.h"' '#include "instrument/Synth.h"' '#include "platform/hostsdk/HostSdk.h"'
add instrument/Synth.h '#include "instance/Instance.h"'
add gui/Canvas.h '#include "instrument/Synth.h"' '#include "platform/draw/Surface.h"'
add instrument/editor/Editor.h '#include "gui/Canvas.h"' '#include "instrument/Synth.h"'
add imaging/Filter.h '#include <cstdint>'
add imaging/simd/Kernels.h '#include "imaging/Filter.h"'
add tests/support/Helper.h '#include "framework/Radio.h"'
add tests/engine/VoiceTest.cpp '#include "engine/Voice.h"' '#include "host/Host.h"' '#include "support/Helper.h"' \
    '#include "platform/draw/Surface.h"' '#include "platform/hostsdk/HostSdk.h"'
add bench/imaging/FilterBench.cpp '#include "imaging/Filter.h"'

if ! out=$(sh "$check" "$base" 2>&1); then
    echo "FAIL: a tree in layer order was rejected:"
    echo "$out"
    failures=$((failures + 1))
fi

# plants LINE into FILE of a fresh copy and expects the check to name FILE.
expect_rejected() { # what, file, line
    tree="$work/planted"
    rm -rf "$tree"
    cp -R "$base" "$tree"
    mkdir -p "$(dirname "$tree/$2")"
    printf '%s\n' "$3" >>"$tree/$2"
    if out=$(sh "$check" "$tree" 2>&1); then
        echo "FAIL: $1 ($2: $3) passed the check"
        failures=$((failures + 1))
    elif ! printf '%s\n' "$out" | grep -q "^$2:"; then
        echo "FAIL: $1 was rejected without naming $2:"
        echo "$out"
        failures=$((failures + 1))
    fi
}

expect_rejected "platform reaching framework" platform/Clock.h '#include "framework/Radio.h"'
expect_rejected "framework reaching engine" framework/Radio.cpp '#include "engine/Voice.h"'
expect_rejected "an angle-bracket upward include" plugin/Parameter.h '#include <engine/Voice.h>'
expect_rejected "engine reaching instance" engine/Voice.h '  #  include "instance/Instance.h"'
expect_rejected "host reaching the instrument" host/Host.h '#include "instrument/Synth.h"'
expect_rejected "the instrument reaching its editor" instrument/Synth.h '#include "instrument/editor/Editor.h"'
expect_rejected "gui reaching the editor" gui/Canvas.h '#include "instrument/editor/Editor.h"'
expect_rejected "imaging reaching platform" imaging/simd/Kernels.h '#include "platform/Clock.h"'
expect_rejected "framework reaching imaging" framework/Radio.h '#include "imaging/Filter.h"'
expect_rejected "an include out of its folder" engine/Voice.cpp '#include "../framework/Radio.h"'
expect_rejected "the host program reaching engine" hostapp/Render.cpp '#include "engine/Voice.h"'
expect_rejected "the host program reaching platform" hostapp/Render.h '#include "platform/Clock.h"'
expect_rejected "the host program reaching the host's class library" hostapp/Render.cpp \
    '#include "platform/hostsdk/HostSdk.h"'
expect_rejected "the host-side header reaching platform" platform/hostsdk/HostSide.h '#include "platform/Clock.h"'
expect_rejected "framework reaching the drawing layer" framework/Radio.h '#include "platform/draw/Surface.h"'
expect_rejected "platform reaching the drawing layer" platform/Clock.h '#include "platform/draw/Surface.h"'
expect_rejected "the instrument reaching the drawing layer" instrument/Synth.h '#include "platform/draw/Surface.h"'
expect_rejected "engine reaching the host's class library" engine/Voice.h '#include "platform/hostsdk/HostSdk.h"'
expect_rejected "engine reaching the host-side header" engine/dsp/Mixer.h '#include "platform/hostsdk/HostSide.h"'
expect_rejected "gui reaching the host's class library" gui/Canvas.h '#include "platform/hostsdk/HostSdk.h"'
expect_rejected "the drawing layer reaching the host's class library" platform/draw/Surface.h \
    '#include "platform/hostsdk/HostSdk.h"'
expect_rejected "engine's io reaching notes" engine/io/Channel.h '#include "engine/notes/Note.h"'
expect_rejected "engine's notes reaching samples" engine/notes/Note.h '#include "engine/samples/Sample.h"'
expect_rejected "engine's samples reaching modules" engine/samples/Sample.h '#include "engine/modules/Module.h"'
expect_rejected "engine's zones reaching the top of engine" engine/zones/Zone.h '#include "engine/Voice.h"'
expect_rejected "a test helper under a layer's name" tests/engine/VoiceTest.cpp '#include "engine/VoiceTestSupport.h"'

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) of check-layers.sh failed"
    exit 1
fi
echo "check-layers.sh: every planted include was caught"
