#!/bin/sh
# Runs a program with TMPDIR naming a folder of its own, made empty here, and fails when the program fails or
# leaves anything in that folder. The folder is removed afterwards.
#   tests/tools/leaves-nothing.sh FOLDER PROGRAM [ARGUMENT...]
set -u
folder=$1
shift
rm -rf "$folder"
mkdir -p "$folder" || exit 1
status=0
TMPDIR=$folder "$@" || status=$?
if [ -n "$(ls -A "$folder")" ]; then
    echo "leaves-nothing.sh: $1 left this in its temporary folder $folder:" >&2
    ls -lA "$folder" >&2
    [ "$status" -ne 0 ] || status=1
fi
rm -rf "$folder"
exit "$status"
