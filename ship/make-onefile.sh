#!/usr/bin/env bash
# Links the one-file program: the shipped folder as its payload (a cabinet and its SHA-256, make-cab.sh) compiled into
# a resource, and the program's pieces that the build left beside the zip. The same inputs give the same bytes.
# Usage: make-onefile.sh <pieces folder> <shipped folder> <file listing the shipped files, one a line> <program to write>
set -euo pipefail

pieces=$(cd "$1" && pwd) dist=$2 list=$3 out=$4 # absolute: windres runs in a folder of its own
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$pieces/toolchain.sh" # cxx, windres, link_options, libraries: the build's
# shellcheck source=ship/pe.sh
source "$(dirname "$0")/pe.sh"

bash "$(dirname "$0")/make-cab.sh" "$dist" "$list" "$work"
(cd "$work" && "$windres" -c 65001 -I "$pieces" "$pieces/payload.rc" -O coff -o payload.o)
# The whole stub: its entry point and resources are reached by no reference from the payload.
read -r -a options <<<"$link_options"
read -r -a libs <<<"$libraries"
"$cxx" "${options[@]}" -o "$work/new.exe" "$work/payload.o" -Wl,--whole-archive "$pieces/stub.a" \
    -Wl,--no-whole-archive "$pieces/unpack.a" "${libs[@]}"

# Run from swap (GNU ld has no switch for them): started from a network share or a removable medium, Windows copies
# the whole image into the page file before it runs, so no page of it is read again from a file that may have changed
# or gone. IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP (0x400) and IMAGE_FILE_NET_RUN_FROM_SWAP (0x800), in the COFF header's
# Characteristics, 22 bytes after "PE\0\0"; then the optional header's checksum (64 bytes into it) made right again.
pe_headers "$work/new.exe" || {
    echo "make-onefile: $work/new.exe is no PE file" >&2
    exit 1
}
header=$(pe_u 4 "$work/new.exe" 60)
pe_write "$work/new.exe" $((header + 22)) 2 $(($(pe_u 2 "$work/new.exe" $((header + 22))) | 0x0c00))
pe_write "$work/new.exe" $((header + 88)) 4 "$(pe_checksum "$work/new.exe" $((header + 88)))"

cmp -s "$work/new.exe" "$out" 2>/dev/null || mv "$work/new.exe" "$out"
