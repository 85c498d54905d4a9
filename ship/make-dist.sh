#!/usr/bin/env bash
# Lays out a release from a build: its shipped folder with the vendor's files in place of the stand-ins, signed
# when a certificate is given, the zip of it, and release.txt listing every shipped file. A refusal leaves no folder
# at all, not even an older one, so that nothing half-made is taken for a release.
# Usage: [VENDOR_FILES=folder] [SIGN_PFX=file SIGN_PASS_FILE=file [SIGN_TIMESTAMP_URL=url]]
#        make-dist.sh <build folder> <folder to write>
set -euo pipefail

build=$1 out=${2%/}
ship=$(dirname "$0")
shipped=$build/dist-zip/shipped.txt standins=$build/dist-zip/standins.txt
zip=$(basename "$(ls "$build"/dist-zip/*.zip)")
partial=$out.partial
state=$(mktemp -d)
trap 'rm -rf "$state" "$partial"' EXIT

rm -rf "$out" "$partial"
cp -a "$build/dist" "$partial"
: >"$state/vendor"
if [ -n "${VENDOR_FILES:-}" ]; then
    bash "$ship/vendor-files.sh" "$partial" "$shipped" "$standins" "$VENDOR_FILES" >"$state/vendor"
fi

# Where each file comes from. A vendor's file with the stand-in's bytes is still the stand-in.
ours=()
left=()
while IFS= read -r name; do
    if ! grep -qxF "$name" "$standins"; then
        origin="built here"
        ours+=("$name")
    elif ! grep -qxF "$name" "$state/vendor"; then
        origin=stand-in
        left+=("$name")
    elif cmp -s "$partial/$name" "$build/dist/$name"; then
        origin=stand-in
        left+=("$name (the file in VENDOR_FILES is the stand-in itself)")
    else
        origin="the vendor's"
    fi
    printf '%s\t%s\t%s\n' "$name" "$origin" "$(sha256sum "$partial/$name" | cut -d ' ' -f 1)"
done < <(LC_ALL=C sort "$shipped") >"$state/origins"

if [ ${#left[@]} -gt 0 ]; then
    if [ -n "${SIGN_PFX:-}" ]; then
        echo "make dist: a signed release holds no stand-in; put the vendor's file for each of these in VENDOR_FILES:" >&2
        printf '  %s\n' "${left[@]}" >&2
        exit 1
    fi
    echo "stand-ins left in $out/ (a signed release refuses them; VENDOR_FILES replaces them):"
    printf '  %s\n' "${left[@]}"
fi

if [ -n "${SIGN_PFX:-}" ]; then
    bash "$ship/sign-dist.sh" "$partial" "$SIGN_PFX" "${SIGN_PASS_FILE:-}" "${SIGN_TIMESTAMP_URL:-}" "${ours[@]}"
fi
bash "$ship/make-zip.sh" "$partial" "$shipped" "$partial/$zip"
bash "$ship/release-list.sh" "$partial" "$partial/$zip" "$state/origins" >"$partial/release.txt"

mv "$partial" "$out"
echo "$out/ is ready: $zip, release.txt"
