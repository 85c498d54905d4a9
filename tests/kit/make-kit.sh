#!/usr/bin/env bash
# Packs the Windows test kit: the runner and run-tests.cmd, the end-to-end program with its helpers, the shipped
# folder it tests and the one-file release of it (and two of a bad build, bad-build-NUL.exe and bad-build-COM3.exe),
# as one reproducible zip named after the release's version.
# Usage: make-kit.sh <build folder> <shipped folder> <folder to write the zip into>
set -euo pipefail

build=$(cd "$1" && pwd) shipped=$(cd "$2" && pwd) out=$3
here=$(cd "$(dirname "$0")" && pwd)
release=$(basename "$(ls "$build"/dist-zip/kelvo-setup-*.zip)")
version=${release#kelvo-setup-}
version=${version%.zip}
# The scenarios run the driver installer: the vendor's would install the real driver on the tester's PC for good.
if [ -f "$shipped/release.txt" ] &&
    awk -F '\t' '$1 ~ /driver\.exe$/ && $4 == "the vendor'"'"'s" { found = 1 } END { exit !found }' "$shipped/release.txt"; then
    echo "make kit: the release holds the vendor's driver installer, which the scenarios would run for real;" \
        "make the kit from a build without VENDOR_FILES" >&2
    exit 1
fi
# A folder of its own for every call: the kit's test packs it for both Windows at once.
work=$(mktemp -d "$build/kit.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$work/files
mkdir -p "$stage/dist" "$out"

e2e=$build/tests/e2e
cp "$build/tests/kit/kelvo_kit.exe" "$e2e/kelvo_e2e.exe" "$e2e/prompt-probe.exe" "$e2e/planted-dll.dll" \
    "$e2e/recording-voice.dll" "$e2e/window-eyes-stand-in.exe" "$e2e/windowed-installer.exe" "$stage/"
# The one-file release beside the scenarios that run it: the release's own when the shipped folder is a release's.
onefile=kelvo-setup-$version.exe
if [ -f "$shipped/$onefile" ]; then cp "$shipped/$onefile" "$stage/"; else cp "$build/dist-zip/$onefile" "$stage/"; fi
# And a bad build's, whose payload holds a device name, which the one-file scenarios must see refused.
cp "$build"/dist-zip/bad-build/bad-build-*.exe "$stage/"
# cmd.exe reads a batch file line by line: CRLF, as Windows writes it.
sed 's/\r*$/\r/' "$here/run-tests.cmd" >"$stage/run-tests.cmd"
while IFS= read -r name; do
    mkdir -p "$stage/dist/$(dirname "$name")"
    cp "$shipped/$name" "$stage/dist/$name"
done <"$build/dist-zip/shipped.txt"
(cd "$stage" && find . -type f | sed 's|^\./||') >"$work/files.txt"

zip=kelvo-windows-tests-$version.zip
bash "$here/../../ship/make-zip.sh" "$stage" "$work/files.txt" "$work/zip/$zip"
cp "$work/zip/$zip" "$out/$zip"
echo "$out/$zip"
