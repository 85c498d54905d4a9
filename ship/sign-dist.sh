#!/usr/bin/env bash
# Signs the programs of a laid-out shipped folder with the vendor's code-signing certificate (Authenticode,
# SHA-256): the setup and both driver installers. All of them are signed, or none is changed.
# Usage: sign-dist.sh <shipped folder> <PKCS#12 file> <file holding its password> [RFC 3161 time-stamp URL]
set -euo pipefail

folder=$1 pfx=$2 pass_file=$3 timestamp_url=${4:-}
fail() {
    echo "make dist: $*" >&2
    exit 1
}
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (make deps installs it)"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "SIGN_PFX: no readable certificate file '$pfx'"
[ -n "$pass_file" ] || fail "SIGN_PASS_FILE: name the file that holds the certificate's password"
[ -f "$pass_file" ] && [ -r "$pass_file" ] || fail "SIGN_PASS_FILE: no readable password file '$pass_file'"

# Only real programs: update/bdisplay.exe is the vendor's companion file for Window-Eyes, not ours to sign.
programs=()
for program in "$folder"/*.exe "$folder"/driverfor*/*.exe; do
    [ -f "$program" ] && programs+=("$program")
done
[ ${#programs[@]} -eq 3 ] || fail "expected the setup and two driver installers in $folder, found ${#programs[@]} programs"

signed=$(mktemp -d)
trap 'rm -rf "$signed"' EXIT
for i in "${!programs[@]}"; do
    name=${programs[$i]#"$folder"/}
    if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$pass_file" -h sha256 -n "Kelvo Braille display setup" \
        ${timestamp_url:+-ts "$timestamp_url"} -in "${programs[$i]}" -out "$signed/$i" >"$signed/log" 2>&1; then
        fail "could not sign $name with $pfx (wrong password or not a PKCS#12 file with a key?): $(grep -v '^$' "$signed/log" | tail -2 | tr '\n' ' ')"
    fi
done
# Every program signed: only now is the folder changed.
for i in "${!programs[@]}"; do
    cat "$signed/$i" >"${programs[$i]}"
done
echo "signed: ${programs[*]#"$folder"/}"
