#!/usr/bin/env bash
# Copies the listed files of the shipped folder into a staging folder with fixed modes and times, so that an archive
# made of them (the zip, the one-file program's cabinet) is the same bytes on every machine that builds the same sources.
# Usage: stage-files.sh <shipped folder> <file listing the shipped files, one a line> <staging folder to make>
# Writes <staging folder>/names (the names in byte order) and <staging folder>/files/...
set -euo pipefail

dist=$1 list=$2 work=$3

# One time stamp for every entry: SOURCE_DATE_EPOCH when given, otherwise a fixed day, so neither the build's
# clock, the files' times nor a new commit reaches the archive (a commit's time would make one built before the
# commit differ from one built after it, from the same sources).
epoch=${SOURCE_DATE_EPOCH:-1262304000}

rm -rf "$work"
mkdir -p "$work/files"

# A copy of exactly the listed files: the umask and the copies' times differ between machines, and archives store
# both. Entries go in byte order of their names whatever the locale.
export LC_ALL=C TZ=UTC
LC_ALL=C sort -u "$list" >"$work/names"
while IFS= read -r name; do
    [ -f "$dist/$name" ] || {
        echo "${0##*/}: $dist/$name is missing" >&2
        exit 1
    }
    mkdir -p "$work/files/$(dirname "$name")"
    cp "$dist/$name" "$work/files/$name"
done <"$work/names"
find "$work/files" -type d -exec chmod 0755 {} +
find "$work/files" -type f -exec chmod 0644 {} +
find "$work/files" -exec touch -h -d "@$epoch" {} +
