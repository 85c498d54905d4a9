#!/usr/bin/env bash
# Packs the shipped folder into one zip that is the same bytes on every machine that builds the same sources.
# Usage: make-zip.sh <shipped folder> <file listing the shipped files, one a line> <zip to write>
set -euo pipefail

dist=$1 list=$2 zip_out=$3

# One time stamp for every entry: SOURCE_DATE_EPOCH when given, otherwise a fixed day, so neither the build's
# clock, the files' times nor a new commit reaches the zip (a commit's time would make a zip built before the
# commit differ from one built after it, from the same sources).
epoch=${SOURCE_DATE_EPOCH:-1262304000}

work=$(dirname "$zip_out")/stage
rm -rf "$work"
mkdir -p "$work/files"

# A copy of exactly the listed files, with fixed modes and times: the umask and the copies' times differ between
# machines, and zip stores both. Entries go in byte order of their names whatever the locale.
export LC_ALL=C TZ=UTC
LC_ALL=C sort -u "$list" >"$work/names"
while IFS= read -r name; do
    [ -f "$dist/$name" ] || {
        echo "make-zip: $dist/$name is missing" >&2
        exit 1
    }
    mkdir -p "$work/files/$(dirname "$name")"
    cp "$dist/$name" "$work/files/$name"
done <"$work/names"
find "$work/files" -type d -exec chmod 0755 {} +
find "$work/files" -type f -exec chmod 0644 {} +
find "$work/files" -exec touch -h -d "@$epoch" {} +

# -X: no extra fields (uid, gid, extended times); -D: no folder entries; names read in the order given.
(cd "$work/files" && zip -q -X -D -9 ../new.zip -@ <../names)

# Leave an unchanged zip untouched, and no zip of another version beside it.
find "$(dirname "$zip_out")" -maxdepth 1 -name '*.zip' ! -name "$(basename "$zip_out")" -delete
cmp -s "$work/new.zip" "$zip_out" 2>/dev/null || mv "$work/new.zip" "$zip_out"
rm -rf "$work"
