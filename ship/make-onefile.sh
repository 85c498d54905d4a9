#!/usr/bin/env bash
# Links the one-file program: the shipped folder as its payload (a cabinet and its SHA-256, make-cab.sh) compiled into
# a resource, and the program's pieces that the build left beside the zip. The same inputs give the same bytes.
# Usage: make-onefile.sh <pieces folder> <shipped folder> <file listing the shipped files, one a line> <program to write>
set -euo pipefail

pieces=$(cd "$1" && pwd) dist=$2 list=$3 out=$4 # absolute: windres runs in a folder of its own
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$pieces/toolchain.sh" # cxx, windres, link_options: the build's

bash "$(dirname "$0")/make-cab.sh" "$dist" "$list" "$work"
(cd "$work" && "$windres" -c 65001 -I "$pieces" "$pieces/payload.rc" -O coff -o payload.o)
# The whole stub: its entry point and resources are reached by no reference from the payload.
read -r -a options <<<"$link_options"
"$cxx" "${options[@]}" -o "$work/new.exe" "$work/payload.o" -Wl,--whole-archive "$pieces/stub.a" \
    -Wl,--no-whole-archive "$pieces/unpack.a"

cmp -s "$work/new.exe" "$out" 2>/dev/null || mv "$work/new.exe" "$out"
