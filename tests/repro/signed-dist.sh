#!/usr/bin/env bash
# A release signed with a vendor's certificate: a throwaway code-signing certificate signs a copy of the shipped
# folder; every program verifies against that certificate, the zip holds the signed files, a wrong password
# changes nothing, and the signed setup starts, shows its main window and quits under Wine.
# Usage: signed-dist.sh <source tree> <build folder> <shipped folder> <zip of the shipped folder>
set -euo pipefail

source=$1 build=$2 main_dist=$3 main_zip=$4
# Inside the build tree: the Wine user must be able to read the signed copy.
work=$build/signed-check
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Kelvo release check" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
printf 'release-check' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/vendor.pfx"
printf 'not-the-password' >"$work/wrong"

cp -a "$main_dist" "$work/dist"
if bash "$source/ship/sign-dist.sh" "$work/dist" "$work/vendor.pfx" "$work/wrong" >/dev/null 2>&1; then
    fail "a wrong password signed"
fi
diff -r -q "$main_dist" "$work/dist" >/dev/null || fail "a failed signing changed the folder"

bash "$source/ship/sign-dist.sh" "$work/dist" "$work/vendor.pfx" "$work/password" >/dev/null
programs=("Kelvo Braille display setup.exe" "driverforvista/Kelvo Braille display driver.exe"
    "driverfornt/Kelvo Braille display driver.exe")
for program in "${programs[@]}"; do
    osslsigncode verify -CAfile "$work/cert.pem" -in "$work/dist/$program" >"$work/verify.log" 2>&1 ||
        fail "$program does not verify: $(grep -i -m2 'fail\|error' "$work/verify.log")"
    grep -q "SHA256" "$work/verify.log" || fail "$program is not signed with SHA-256"
done
diff -r -q "$main_dist" "$work/dist" | grep -v -e "setup.exe differ" -e "driver.exe differ" &&
    fail "signing changed more than the three programs"

bash "$source/ship/make-zip.sh" "$work/dist" "$build/dist-zip/shipped.txt" "$work/zip/$(basename "$main_zip")"
mkdir "$work/unzipped"
(cd "$work/unzipped" && unzip -q "$work/zip/$(basename "$main_zip")")
diff -r -q "$work/dist" "$work/unzipped" >/dev/null || fail "the zip does not hold the signed files"

# The signed setup runs: the bench copies this folder instead of the build's and leaves through "Quit".
chmod -R a+rX "$work"
win=$(echo "Z:$work/dist" | tr / '\\')
KELVO_DIST=$win "$source/scripts/wine-run" "$build/tests/e2e/kelvo_e2e.exe" \
    --gtest_filter=MainWindow.QuitEnterOnQuitAndEscapeAllLeaveWithoutAPrompt >"$work/run.log" 2>&1 ||
    fail "the signed setup did not start and quit under Wine: $(tail -5 "$work/run.log")"
grep -q "\[  PASSED  \] 1 test" "$work/run.log" || fail "the signed setup's run did not pass: $(tail -5 "$work/run.log")"

[ "$failures" -eq 0 ] || exit 1
echo "signed release: 3 programs verify, the zip holds them, the signed setup runs"
