#!/usr/bin/env bash
# Builds the shipped folder, its zip and the one-file program a second time, in a scratch folder at another path, with another umask,
# time zone and locale, and compares every shipped file, the zip and the one-file program byte for byte with the main build's; then lays
# out a release with the same vendor's files from each build and compares the two releases byte for byte.
# Usage: second-build.sh <source tree> <toolchain file> <build type> <main build folder>
set -euo pipefail

source=$1 toolchain=$2 build_type=$3 main_build=$4
main_dist=$main_build/dist main_zip=$(ls "$main_build"/dist-zip/*.zip)

scratch=$(mktemp -d /tmp/kelvo-repro.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# Another depth and name than the main build, so a build path that leaks into a file shows.
build=$scratch/another/place/b
zip_name=$(basename "$main_zip")

# What differs between machines: the umask (the copies' modes), the time zone (zip's local times), the locale.
if ! (umask 027 && export TZ=Pacific/Chatham LC_ALL=C.UTF-8 &&
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE="$build_type" &&
    cmake --build "$build" --target dist_zip kelvo_onefile -j 2) >"$scratch/build.log" 2>&1; then
    tail -n 40 "$scratch/build.log"
    echo "FAIL: the second build failed"
    exit 1
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

# The same files on both sides, and each the same bytes.
listing "$main_dist" >"$scratch/main.txt"
listing "$build/dist" >"$scratch/second.txt"
main=$scratch/main.txt second=$scratch/second.txt
while IFS= read -r name; do fail "only in the main build: $name"; done < <(comm -23 "$main" "$second")
while IFS= read -r name; do fail "only in the second build: $name"; done < <(comm -13 "$main" "$second")
while IFS= read -r name; do
    cmp -s "$main_dist/$name" "$build/dist/$name" ||
        fail "differs: $name ($(cmp -l "$main_dist/$name" "$build/dist/$name" 2>/dev/null | wc -l) bytes," \
            "first at $(cmp "$main_dist/$name" "$build/dist/$name" 2>&1 | sed -n 's/.*differ: //p'))"
done < <(comm -12 "$main" "$second")

# The zip holds exactly the shipped files, with their bytes, and is itself the same bytes.
second_zip=$build/dist-zip/$zip_name
if [ ! -f "$second_zip" ]; then
    fail "the second build wrote no $zip_name"
else
    mkdir "$scratch/unzipped"
    (cd "$scratch/unzipped" && unzip -q "$second_zip")
    listing "$scratch/unzipped" >"$scratch/zipped.txt"
    cmp -s "$scratch/zipped.txt" "$scratch/second.txt" ||
        fail "the zip's entries are not the shipped files:" \
            "$(diff "$scratch/second.txt" "$scratch/zipped.txt" | grep '^[<>]' | tr '\n' ' ')"
    diff -r -q "$build/dist" "$scratch/unzipped" >/dev/null || fail "a file in the zip is not the shipped file's bytes"
    # Extra fields carry the builder's uid, gid and file times, which a second build on this machine shares.
    zipinfo -v "$second_zip" >"$scratch/zip-details.txt"
    grep 'length of extra field' "$scratch/zip-details.txt" | grep -qv ': *0 bytes' &&
        fail "entries of $zip_name carry extra fields (owner or time noise)"
    if [ ! -f "$main_zip" ]; then
        fail "the main build has no $zip_name"
    elif ! cmp -s "$main_zip" "$second_zip"; then
        hint=""
        [ "$failures" -eq 0 ] &&
            hint=" (its files match; was the main build made with another SOURCE_DATE_EPOCH?)"
        fail "differs: $zip_name$hint"
        zipinfo -l "$main_zip" 2>&1 | tail -n +2 >"$scratch/main-zip.txt" || true
        zipinfo -l "$second_zip" 2>&1 | tail -n +2 >"$scratch/second-zip.txt" || true
        diff "$scratch/main-zip.txt" "$scratch/second-zip.txt" | head -n 20 || true
    fi
fi

# The one-file program, which carries the same files: the same bytes too.
onefile=${zip_name%.zip}.exe
cmp -s "$main_build/dist-zip/$onefile" "$build/dist-zip/$onefile" ||
    fail "differs: $onefile (or missing from a build)"

# The same vendor's files give the same release from either build: folder, zip and release.txt.
vendor=$scratch/vendor
mkdir -p "$vendor/Update/WindowEyes7" "$vendor/updatedolphin/kelvo"
printf 'the vendor settings\r\n' >"$vendor/Update/WindowEyes7/braille.ini"
printf 'the vendor driver file\r\n' >"$vendor/updatedolphin/kelvo/KELVO00039.ini"
for side in main second; do
    [ $side = main ] && from=$main_build || from=$build
    if ! ([ $side = main ] || { umask 027 && export TZ=Pacific/Chatham LC_ALL=C.UTF-8; } &&
        VENDOR_FILES=$vendor bash "$source/ship/make-dist.sh" "$from" "$scratch/release-$side") \
        >"$scratch/release-$side.log" 2>&1; then
        fail "the $side build's release with the vendor's files was refused: $(tail -3 "$scratch/release-$side.log")"
    fi
done
diff -r -q "$scratch/release-main" "$scratch/release-second" >"$scratch/releases.txt" 2>&1 ||
    fail "the same vendor's files give another release: $(tr '\n' ' ' <"$scratch/releases.txt")"
cmp -s "$vendor/updatedolphin/kelvo/KELVO00039.ini" "$scratch/release-main/updatedolphin/kelvo/kelvo00039.INI" ||
    fail "the vendor's file is not in the release under the setup's name"

if [ "$failures" -ne 0 ]; then
    echo "$failures difference(s) between the main build and a second build of the same sources"
    exit 1
fi
echo "a second build in $build gives the same $(wc -l <"$scratch/main.txt") shipped files, $zip_name and $onefile, and the same release"
echo "with the vendor's files"
