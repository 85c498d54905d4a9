#!/usr/bin/env bash
# Signs the programs of a laid-out shipped folder with the vendor's code-signing certificate (Authenticode,
# SHA-256). Our own programs are always signed. Every other program is signed only when it carries no signature:
# one signed by its maker keeps that signature byte for byte (re-signing would name the vendor as the publisher of
# a program it did not write), and one whose signature no longer fits its bytes stops the release. Every program is
# signed, or none is changed.
# Usage: sign-dist.sh <shipped folder> <PKCS#12 file> <file holding its password> <RFC 3161 time-stamp URL or "">
#        <name of our own program in the folder>...
set -euo pipefail

folder=$1 pfx=$2 pass_file=$3 timestamp_url=$4
shift 4
ours=("$@")
fail() {
    echo "make dist: $*" >&2
    exit 1
}
source "$(dirname "$0")/signature.sh"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (make deps installs it)"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "SIGN_PFX: no readable certificate file '$pfx'"
[ -n "$pass_file" ] || fail "SIGN_PASS_FILE: name the file that holds the certificate's password"
[ -f "$pass_file" ] && [ -r "$pass_file" ] || fail "SIGN_PASS_FILE: no readable password file '$pass_file'"

is_ours() {
    local own
    for own in "${ours[@]}"; do [ "$1" = "$own" ] && return 0; done
    return 1
}

to_sign=()
kept=()
refused=()
while IFS= read -r -d '' path; do
    name=${path#"$folder"/}
    if is_ours "$name"; then
        to_sign+=("$name")
        continue
    fi
    IFS=$'\t' read -r state detail < <(signature_state "$path")
    case $state in
    unsigned) to_sign+=("$name") ;;
    signed) kept+=("kept its maker's signature ($detail): $name") ;;
    broken) refused+=("$name: $detail") ;;
    data) case ${name,,} in *.exe | *.dll) refused+=("$name: named as a program but no Windows program") ;; esac ;;
    esac
done < <(find "$folder" -type f -print0 | LC_ALL=C sort -z)
for own in "${ours[@]}"; do [ -f "$folder/$own" ] || refused+=("$own: missing"); done
if [ ${#refused[@]} -gt 0 ]; then
    printf 'make dist: not signed, since a program cannot ship as it is: %s\n' "${refused[@]}" >&2
    exit 1
fi

signed=$(mktemp -d)
trap 'rm -rf "$signed"' EXIT
for i in "${!to_sign[@]}"; do
    name=${to_sign[$i]}
    description=()
    is_ours "$name" && description=(-n "Kelvo Braille display setup")
    if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$pass_file" -h sha256 "${description[@]}" \
        ${timestamp_url:+-ts "$timestamp_url"} -in "$folder/$name" -out "$signed/$i" >"$signed/log" 2>&1; then
        fail "could not sign $name with $pfx (wrong password or not a PKCS#12 file with a key?): $(grep -v '^$' "$signed/log" | tail -2 | tr '\n' ' ')"
    fi
done
# Every program signed: only now is the folder changed.
for i in "${!to_sign[@]}"; do
    cat "$signed/$i" >"$folder/${to_sign[$i]}"
    echo "signed here: ${to_sign[$i]}"
done
[ ${#kept[@]} -eq 0 ] || printf '%s\n' "${kept[@]}"
