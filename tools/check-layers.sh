#!/bin/sh
# Rejects an include that reaches up a layer. A layer includes only its own and lower layers' headers:
#   platform <- framework <- plugin <- engine <- instance <- host
#   instance <- instrument <- gui <- instrument/editor
#   platform <- platform/draw (the drawing layer) <- gui: no other layer draws
#   platform <- platform/hostsdk (the host's class library) <- host, module: no other layer binds to it
#   host, instrument/editor <- module (the installed module joins the binding and the editor)
#   hostapp (the host program) includes only itself and platform/hostsdk/HostSide.h, which includes
#   nothing of ours: the program links none of our layers
#   imaging stands alone.
# Inside engine/ the subfolders keep an order too: io <- notes <- samples <- the rest (dsp, modules,
# voices, zones: one room, see docs/architecture.md) <- the files at the top.
# tests/, bench/ and tools/ may include any layer, but an include under a layer's name there must be that
# layer's own header: test helpers are included as "support/...".
#   tools/check-layers.sh [ROOT]    checks the tree at ROOT (default: this repository)
set -eu
root=${1:-"$(dirname "$0")/.."}
cd "$root"

layers="platform framework plugin engine instance host hostapp instrument gui imaging module"
present=""
for layer in $layers tests bench; do
    [ -d "$layer" ] && present="$present $layer"
done
[ -n "$present" ] || exit 0

# shellcheck disable=SC2086
grep -rHnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' $present |
    awk '
BEGIN {
    # The host-side interfaces are one self-contained header: a layer of their own.
    hostSide = "platform/hostsdk/HostSide.h"
    below[hostSide] = hostSide
    below["platform"] = "platform"
    below["platform/draw"] = below["platform"] " platform/draw"
    below["platform/hostsdk"] = below["platform"] " platform/hostsdk " hostSide
    below["framework"] = below["platform"] " framework"
    below["plugin"] = below["framework"] " plugin"
    below["engine"] = below["plugin"] " engine"
    below["instance"] = below["engine"] " instance"
    below["host"] = below["instance"] " " below["platform/hostsdk"] " host"
    below["instrument"] = below["instance"] " instrument"
    below["gui"] = below["instrument"] " platform/draw gui"
    below["instrument/editor"] = below["gui"] " instrument/editor"
    below["module"] = below["host"] " " below["instrument/editor"] " module"
    below["hostapp"] = "hostapp " hostSide
    below["imaging"] = "imaging"
    # engine/: rank of each subfolder; an include may not reach a higher rank.
    engineRank["io"] = 1
    engineRank["notes"] = 2
    engineRank["samples"] = 3
    bad = 0
}
function layerOf(path, parts) {
    if (path == hostSide)
        return hostSide
    split(path, parts, "/")
    if ((parts[1] "/" parts[2]) in below && parts[3] != "")
        return parts[1] "/" parts[2]
    return (parts[1] in below) ? parts[1] : ""
}
# The rank of the engine subfolder holding path: io, notes, samples, then the rest as one room, then
# the files at the top of engine/.
function engineRankOf(path, parts, count) {
    count = split(path, parts, "/")
    if (count == 2)
        return 5
    return (parts[2] in engineRank) ? engineRank[parts[2]] : 4
}
function exists(path, line, status) { # relative to the tree, the working folder
    status = (getline line < path)
    if (status >= 0)
        close(path)
    return status >= 0
}
{
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    lineno = rest; sub(/:.*/, "", lineno)
    text = substr(rest, length(lineno) + 2)
    match(text, /[<"][^">]*[">]/)
    target = substr(text, RSTART + 1, RLENGTH - 2)
    to = layerOf(target)
    from = layerOf(file)
    if (target ~ /(^|\/)\.\.\//) {
        printf "%s:%s: include leaves its folder: %s\n", file, lineno, target
        bad = 1
    } else if (from == "") {
        if (to != "" && !exists(target)) {
            printf "%s:%s: \"%s\" is no header of %s; include test helpers as \"support/...\"\n",
                   file, lineno, target, to
            bad = 1
        }
    } else if (to != "" && index(" " below[from] " ", " " to " ") == 0) {
        printf "%s:%s: %s may not include %s (layer %s is not below it)\n", file, lineno, from, target, to
        bad = 1
    } else if (from == "engine" && to == "engine" && engineRankOf(target) > engineRankOf(file)) {
        printf "%s:%s: may not include %s (engine/ orders its folders io <- notes <- samples <- the rest)\n",
               file, lineno, target
        bad = 1
    }
}
END {
    if (bad)
        print "check-layers: includes out of place (see above)"
    exit bad
}'
