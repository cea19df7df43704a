#!/bin/sh
# Rejects an include that reaches up a layer. A layer includes only its own and lower layers' headers:
#   platform <- framework <- plugin <- engine <- instance <- host
#   instance <- instrument <- gui <- instrument/editor
#   imaging stands alone.
# tests/, bench/ and tools/ may include any layer, but an include under a layer's name there must be that
# layer's own header: test helpers are included as "support/...".
#   tools/check-layers.sh [ROOT]    checks the tree at ROOT (default: this repository)
set -eu
root=${1:-"$(dirname "$0")/.."}
cd "$root"

layers="platform framework plugin engine instance host instrument gui imaging"
present=""
for layer in $layers tests bench; do
    [ -d "$layer" ] && present="$present $layer"
done
[ -n "$present" ] || exit 0

# shellcheck disable=SC2086
grep -rHnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' $present |
    awk -v root="$(pwd)" '
BEGIN {
    below["platform"] = "platform"
    below["framework"] = below["platform"] " framework"
    below["plugin"] = below["framework"] " plugin"
    below["engine"] = below["plugin"] " engine"
    below["instance"] = below["engine"] " instance"
    below["host"] = below["instance"] " host"
    below["instrument"] = below["instance"] " instrument"
    below["gui"] = below["instrument"] " gui"
    below["instrument/editor"] = below["gui"] " instrument/editor"
    below["imaging"] = "imaging"
    bad = 0
}
function layerOf(path, parts) {
    if (path ~ /^instrument\/editor\//)
        return "instrument/editor"
    split(path, parts, "/")
    return (parts[1] in below) ? parts[1] : ""
}
function exists(path, line, status) {
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
        if (to != "" && !exists(root "/" target)) {
            printf "%s:%s: \"%s\" is no header of %s; include test helpers as \"support/...\"\n",
                   file, lineno, target, to
            bad = 1
        }
    } else if (to != "" && index(" " below[from] " ", " " to " ") == 0) {
        printf "%s:%s: %s may not include %s (layer %s is not below it)\n", file, lineno, from, target, to
        bad = 1
    }
}
END {
    if (bad)
        print "check-layers: includes out of place (see above)"
    exit bad
}'
