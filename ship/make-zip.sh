#!/usr/bin/env bash
# Packs the shipped folder into one zip that is the same bytes on every machine that builds the same sources.
# Usage: make-zip.sh <shipped folder> <file listing the shipped files, one a line> <zip to write>
set -euo pipefail

dist=$1 list=$2 zip_out=$3

work=$(dirname "$zip_out")/stage
bash "$(dirname "$0")/stage-files.sh" "$dist" "$list" "$work"

# -X: no extra fields (uid, gid, extended times); -D: no folder entries; names read in the order given.
(cd "$work/files" && LC_ALL=C TZ=UTC zip -q -X -D -9 ../new.zip -@ <../names)

# Leave an unchanged zip untouched, and no zip of another version beside it.
find "$(dirname "$zip_out")" -maxdepth 1 -name '*.zip' ! -name "$(basename "$zip_out")" -delete
cmp -s "$work/new.zip" "$zip_out" 2>/dev/null || mv "$work/new.zip" "$zip_out"
rm -rf "$work"
