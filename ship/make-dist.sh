#!/usr/bin/env bash
# Lays out a release from a build: its shipped folder with the vendor's files in place of the stand-ins, signed
# when a certificate is given, the zip of it, the one-file program that carries it, and release.txt listing them.
# A refusal leaves no folder
# at all, not even an older one, so that nothing half-made is taken for a release; only a refusal of the settings
# themselves comes before anything is removed, since an input may lie inside the folder to write.
# Usage: [VENDOR_FILES=folder] [SIGN_PFX=file SIGN_PASS_FILE=file [SIGN_CA_FILE=file]
#        [SIGN_TIMESTAMP_URL="url..." [SIGN_TIMESTAMP_TIMEOUT=seconds]]] make-dist.sh <build folder> <folder to write>
set -euo pipefail

build=$1 out=${2%/}
ship=$(dirname "$0")
shipped=$build/dist-zip/shipped.txt standins=$build/dist-zip/standins.txt
partial=$out.partial

status=0
bash "$ship/settings.sh" "$out" || status=$?
[ "$status" -ne 2 ] || exit 1 # an input lies inside the folder to write: nothing is removed
state=$(mktemp -d)
trap 'rm -rf "$state" "$partial"' EXIT
rm -rf "$out" "$partial"
[ "$status" -eq 0 ] || exit 1
zips=("$build"/dist-zip/*.zip)
if [ ! -f "${zips[0]}" ] || [ ! -s "$build/dist-zip/standin-mark.txt" ]; then
    echo "make dist: $build holds no built shipped folder (make build makes it)" >&2
    exit 1
fi
zip=${zips[0]##*/} mark=$(cat "$build/dist-zip/standin-mark.txt")

# The shipped files only: whatever else the build's folder holds (a file left from an older build) stays out.
while IFS= read -r name; do
    mkdir -p "$partial/$(dirname "$name")"
    cp "$build/dist/$name" "$partial/$name" 2>/dev/null || {
        echo "make dist: $build/dist/$name is missing (make build makes it)" >&2
        exit 1
    }
done <"$shipped"
: >"$state/vendor"
if [ -n "${VENDOR_FILES:-}" ]; then
    bash "$ship/vendor-files.sh" "$partial" "$shipped" "$standins" "$mark" "$VENDOR_FILES" >"$state/vendor"
fi

# Where each file comes from.
ours=()
left=()
while IFS= read -r name; do
    given=$(awk -F '\t' -v name="$name" '$1 == name { print $2 }' "$state/vendor")
    if ! grep -qxF "$name" "$standins"; then
        origin="built here"
        ours+=("$name")
    elif [ -z "$given" ]; then
        origin=stand-in
        left+=("$name")
    elif [ "$given" = stand-in ]; then
        origin=stand-in
        left+=("$name (the file in VENDOR_FILES is a stand-in made by a build of ours)")
    else
        origin="the vendor's"
    fi
    printf '%s\t%s\t%s\n' "$name" "$origin" "$(sha256sum "$partial/$name" | cut -d ' ' -f 1)"
done < <(LC_ALL=C sort "$shipped") >"$state/origins"

if [ ${#left[@]} -gt 0 ]; then
    if [ -n "${SIGN_PFX:-}" ]; then
        printf 'make dist: a signed release holds no stand-in; put the vendor'\''s file in VENDOR_FILES for %s\n' \
            "${left[@]}" >&2
        exit 1
    fi
    echo "stand-ins left in $out/ (a signed release refuses them; VENDOR_FILES replaces them):"
    printf '  %s\n' "${left[@]}"
fi

if [ -n "${SIGN_PFX:-}" ]; then
    bash "$ship/sign-dist.sh" "$partial" "$SIGN_PFX" "${SIGN_PASS_FILE:-}" "${SIGN_CA_FILE:-}" \
        "${SIGN_TIMESTAMP_URL:-}" "${ours[@]}"
fi
bash "$ship/make-zip.sh" "$partial" "$shipped" "$partial/$zip"

# The one-file program: the same files, signed ones included, as the payload of a program of its own (linked from the
# pieces the build left beside the zip), which is signed after them, so that its signature covers every byte it carries.
onefile=${zip%.zip}.exe
mkdir "$state/onefile"
bash "$ship/make-onefile.sh" "$build/dist-zip/onefile" "$partial" "$shipped" "$state/onefile/$onefile" \
    >"$state/onefile.log" 2>&1 || {
    echo "make dist: the one-file program could not be made: $(grep -v '^$' "$state/onefile.log" | tail -1)" >&2
    exit 1
}
if [ -n "${SIGN_PFX:-}" ]; then
    bash "$ship/sign-dist.sh" "$state/onefile" "$SIGN_PFX" "${SIGN_PASS_FILE:-}" "${SIGN_CA_FILE:-}" \
        "${SIGN_TIMESTAMP_URL:-}" "$onefile"
fi
cp "$state/onefile/$onefile" "$partial/$onefile"
bash "$ship/release-list.sh" "$partial" "$partial/$zip" "$state/origins" "$partial/$onefile" >"$partial/release.txt"

mv "$partial" "$out"
echo "$out/ is ready: $zip, $onefile (the same files as one program), release.txt"
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
    echo "time-stamped: each signature holds the time it was made, so no two such releases are the same bytes"
elif [ -n "${SIGN_PFX:-}" ]; then
    echo "signed without a time stamp, at SOURCE_DATE_EPOCH: the same inputs give the same release byte for byte"
fi
