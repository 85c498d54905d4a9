#!/usr/bin/env bash
# The one-file program's payload: the shipped folder as one MSZIP cabinet (Debian's gcab), the same bytes from every
# build of the same files, and its SHA-256 as 32 raw bytes, which the program checks before it writes anything.
# Usage: make-cab.sh <shipped folder> <file listing the shipped files, one a line> <folder to write payload.* into>
set -euo pipefail

dist=$1 list=$2 out=$3

mkdir -p "$out"
work=$out/cab-stage # not make-zip.sh's stage, which may be in use beside it
bash "$(dirname "$0")/stage-files.sh" "$dist" "$list" "$work"
# gcab stores each name as given, with backslashes, and each file's time (fixed by the staging) in UTC here.
mapfile -t names <"$work/names"
(cd "$work/files" && TZ=UTC gcab -c -z ../new.cab "${names[@]}")
digest=$(sha256sum "$work/new.cab" | cut -d ' ' -f 1)
printf "$(sed 's/../\\x&/g' <<<"$digest")" >"$work/new.sha256"

# Unchanged files stay untouched, so that the program is linked again only when its payload changed.
for part in cab sha256; do
    cmp -s "$work/new.$part" "$out/payload.$part" 2>/dev/null || mv "$work/new.$part" "$out/payload.$part"
done
rm -rf "$work"
