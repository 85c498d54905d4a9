#!/usr/bin/env bash
# The vendor's signed release, made as a vendor makes it: make-dist.sh with a folder of the vendor's files (a driver
# installer signed by its "chip maker", unsigned programs of the vendor's, data files and sounds of its own) and a
# throwaway code-signing certificate. Our setup and the vendor's unsigned programs verify against the vendor's
# certificate, the installer keeps its maker's signature byte for byte, every vendor file ships byte for byte under
# the setup's name for it, the zip holds exactly the signed folder, release.txt lists each file with its SHA-256, and
# no stand-in is left. A stand-in left, a name the setup never uses, a broken signature, the setup in the vendor's
# folder and a wrong password are each refused, named, with no folder left. Under Wine, one Window-Eyes and one
# Dolphin scenario run from the release: the vendor's files land in the screen readers' folders byte for byte.
# Usage: signed-dist.sh <source tree> <build folder> <C compiler for Windows>
set -euo pipefail

source=$1 build=$2 cc=$3
# Inside the build tree: the Wine user must be able to read the release.
work=$build/signed-check
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A self-signed code-signing certificate as <name>.pfx (password in $work/password) and <name>.pem.
printf 'release-check' >"$work/password"
certificate() {
    openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=$2" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
        -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -passout "file:$work/password" -out "$work/$1.pfx"
}
certificate vendor "Kelvo release check"
certificate maker "Chip maker release check"

# The vendor's folder. Names in another letter case than the setup's stand for files as a vendor really names them.
vendor=$work/vendor
installer="Kelvo Braille display driver.exe"
mkdir -p "$vendor"/{driverforvista,driverfornt,update/WindowEyes6,Update/windoweyes7,updatedolphin/kelvo}
osslsigncode sign -pkcs12 "$work/maker.pfx" -readpass "$work/password" -h sha256 \
    -in "$build/dist/driverfornt/$installer" -out "$vendor/driverfornt/$installer" >/dev/null
cp "$vendor/driverfornt/$installer" "$vendor/driverforvista/$installer"
# Unsigned programs of the vendor's: tiny Windows programs, each with its own bytes.
printf 'const char kName[] = NAME;\n#ifdef PROGRAM\nint main(void) { return kName[0] == 0; }\n#endif\n' >"$work/program.c"
"$cc" -shared -s -DNAME='"webrloem107"' -o "$vendor/update/webrloem107.dll" "$work/program.c"
"$cc" -shared -s -DNAME='"KELVO"' -o "$vendor/updatedolphin/kelvo/Kelvo.DLL" "$work/program.c"
"$cc" -s -DPROGRAM -DNAME='"bdisplay"' -o "$vendor/update/bdisplay.exe" "$work/program.c"
for file in update/WindowEyes6/braille.ini Update/windoweyes7/braille.ini updatedolphin/kelvo.bk1 \
    updatedolphin/kelvo/kelvo00001.ini updatedolphin/kelvo/KELVO00039.ini updatedolphin/kelvo/kelvo00044.ini \
    updatedolphin/kelvo/kelvo00052.ini updatedolphin/kelvo/kelvo.sdi; do
    printf '; the vendor'\''s own %s\r\n[vendor]\r\nfile=%s\r\n' "$file" "$file" >"$vendor/$file"
done
for sound in chimes.wav Updating.wav WindowEyes.wav; do
    sox -q -n -r 8000 -b 16 -c 1 "$vendor/update/$sound" synth 0.1 sine 300 vol 0.2
done

release() { # <vendor folder> <folder to write> [password file]
    VENDOR_FILES=$1 SIGN_PFX=$work/vendor.pfx SIGN_PASS_FILE=${3:-$work/password} \
        bash "$source/ship/make-dist.sh" "$build" "$2"
}

# Each refusal names what it refuses and leaves no folder, not even the older release it was to replace.
refused() { # <what> <text the message must hold> <vendor folder> [password file]
    mkdir -p "$work/refused" && touch "$work/refused/older-release"
    if release "$3" "$work/refused" "${4:-}" >"$work/refusal.log" 2>&1; then
        fail "$1 was not refused"
    fi
    grep -qF -- "$2" "$work/refusal.log" || fail "$1: the message does not name '$2': $(cat "$work/refusal.log")"
    [ -e "$work/refused" ] && fail "$1 left a folder behind"
    [ -e "$work/refused.partial" ] && fail "$1 left a half-made folder behind"
    return 0
}
variant() { # a copy of the vendor's folder to change
    rm -rf "$work/variant" && cp -a "$vendor" "$work/variant" && echo "$work/variant"
}
v=$(variant) && rm "$v/update/chimes.wav" "$v/updatedolphin/kelvo/kelvo.sdi"
refused "a stand-in left" "updatedolphin/kelvo/kelvo.sdi" "$v"
grep -qF "update/chimes.wav" "$work/refusal.log" || fail "the refusal does not name every stand-in left"
v=$(variant) && cp "$build/dist/update/bdisplay.exe" "$v/update/bdisplay.exe"
refused "the stand-in itself in the vendor's folder" "update/bdisplay.exe (the file in VENDOR_FILES is the stand-in" "$v"
v=$(variant) && mv "$v/updatedolphin/kelvo/kelvo00044.ini" "$v/updatedolphin/kelvo/kelvo0044.ini"
refused "a name the setup never uses" "updatedolphin/kelvo/kelvo0044.ini' is no file the setup uses" "$v"
v=$(variant) && printf 'X' | dd of="$v/driverfornt/$installer" bs=1 seek=2000 conv=notrunc 2>/dev/null
refused "a broken signature" "driverfornt/$installer: changed after it was signed" "$v"
v=$(variant) && cp "$build/dist/Kelvo Braille display setup.exe" "$v/"
refused "the setup in the vendor's folder" "is the setup program" "$v"
printf 'not-the-password' >"$work/wrong"
refused "a wrong password" "could not sign" "$vendor" "$work/wrong"

# The release.
dist=$work/release
release "$vendor" "$dist" >"$work/release.log" 2>&1 || fail "the release was refused: $(cat "$work/release.log")"
grep -q "stand-ins left" "$work/release.log" && fail "the release lists stand-ins: $(cat "$work/release.log")"

# Every vendor file ships under the setup's name for it: the data byte for byte, the maker's installer unchanged.
while IFS= read -r -d '' path; do
    given=${path#"$vendor"/}
    shipped=$(cd "$dist" && find . -type f -ipath "./$given" | sed 's|^\./||')
    case ${given,,} in
    *.dll | update/bdisplay.exe) [ -n "$shipped" ] || fail "$given is not shipped" ;;
    *) cmp -s "$path" "$dist/$shipped" || fail "$given is not shipped byte for byte ('$shipped')" ;;
    esac
done < <(find "$vendor" -type f -print0)

verify() { # <program> <certificate>
    osslsigncode verify -CAfile "$work/$2.pem" -in "$dist/$1" >"$work/verify.log" 2>&1 ||
        fail "$1 does not verify against the $2's certificate: $(grep -i -m2 'fail\|error\|mismatch' "$work/verify.log")"
    grep -q "SHA256" "$work/verify.log" || fail "$1 is not signed with SHA-256"
}
for program in "Kelvo Braille display setup.exe" update/webrloem107.dll update/bdisplay.exe \
    updatedolphin/kelvo/KELVO.dll; do
    verify "$program" vendor
done
for family in driverforvista driverfornt; do
    verify "$family/$installer" maker
    cmp -s "$vendor/$family/$installer" "$dist/$family/$installer" || fail "$family's installer lost its maker's bytes"
done

# release.txt: each shipped file once, with its real size and SHA-256, and none of them a stand-in.
list=$dist/release.txt
grep -v '^#' "$list" | cut -f 1 | tr '\\' / | LC_ALL=C sort >"$work/listed"
LC_ALL=C sort "$build/dist-zip/shipped.txt" | cmp -s - "$work/listed" || fail "release.txt does not list the shipped files"
while IFS=$'\t' read -r name size sha origin signature; do
    file=$dist/${name//\\//}
    [ "$size $sha" = "$(stat -c %s "$file") $(sha256sum "$file" | cut -d ' ' -f 1)" ] ||
        fail "release.txt's size or SHA-256 of $name is not the file's"
    [ "$origin" = stand-in ] && fail "release.txt lists a stand-in: $name"
    case $name in
    driverfor*) expected="its maker's (/CN=Chip maker release check)" ;;
    *.exe | *.dll) expected="signed here (/CN=Kelvo release check)" ;;
    *) expected=none ;;
    esac
    [ "$signature" = "$expected" ] || fail "release.txt: $name is '$signature', not '$expected'"
done < <(grep -v '^#' "$list")

# The zip holds exactly the signed folder.
zip=$(cd "$dist" && ls ./*.zip)
mkdir "$work/unzipped"
(cd "$work/unzipped" && unzip -q "$dist/$zip")
diff -r -q -x '*.zip' -x release.txt "$dist" "$work/unzipped" >"$work/zip.log" ||
    fail "the zip is not the signed folder: $(cat "$work/zip.log")"
grep -qF "$(sha256sum "$dist/$zip" | cut -d ' ' -f 1)" "$list" || fail "release.txt does not give the zip's SHA-256"

# Under Wine, from the release: the vendor's Window-Eyes and Dolphin files land in the screen readers' folders.
chmod -R a+rX "$work"
win=$(echo "Z:$dist" | tr / '\\')
KELVO_DIST=$win "$source/scripts/wine-run" "$build/tests/e2e/kelvo_e2e.exe" \
    --gtest_filter=BeginWindowEyes.SixOnVistaEndsWithTheVistaMessageAsItIsHeard:Hidden1003.ReadOnlySourcesEndArchiveOnly \
    >"$work/run.log" 2>&1 || fail "the release's scenarios failed under Wine: $(tail -15 "$work/run.log")"
grep -q "\[  PASSED  \] 2 tests" "$work/run.log" || fail "the release's scenarios did not pass: $(tail -5 "$work/run.log")"

[ "$failures" -eq 0 ] || exit 1
echo "vendor's signed release: every file verifies and ships byte for byte, release.txt lists them, six refusals hold,"
echo "and the vendor's files land in Window-Eyes' and Dolphin's folders"
