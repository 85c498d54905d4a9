#!/usr/bin/env bash
# Checks make dist's settings before anything is written or removed: a setting it does not know (a typo would give
# an unsigned release in silence), a signing setting without SIGN_PFX, and an input inside the folder to be written,
# which make dist removes first.
# Usage: settings.sh <folder to write>   (the settings come from the environment)
# Exits 1 on a refused setting, 2 when an input lies inside the folder to write, which must then stay as it is.
set -euo pipefail

out=$1
known=(VENDOR_FILES SIGN_PFX SIGN_PASS_FILE SIGN_CA_FILE SIGN_TIMESTAMP_URL SIGN_TIMESTAMP_TIMEOUT)
status=0

# make exports the variables given on its command line, so a mistyped one reaches this script too.
while IFS= read -r name; do
    if [[ " ${known[*]} " != *" $name "* ]]; then
        echo "make dist: $name: no setting of make dist (it knows ${known[*]})" >&2
        status=1
    fi
done < <(compgen -e | grep -E '^(SIGN|VENDOR)_' || true)

if [ -z "${SIGN_PFX:-}" ]; then
    for name in SIGN_PASS_FILE SIGN_CA_FILE SIGN_TIMESTAMP_URL SIGN_TIMESTAMP_TIMEOUT; do
        if [ -n "${!name:-}" ]; then
            echo "make dist: $name is given without SIGN_PFX, so nothing would be signed" >&2
            status=1
        fi
    done
fi

# Inside the folder to write, or its half-made twin, an input would be removed before it is read.
for name in VENDOR_FILES SIGN_PFX SIGN_PASS_FILE SIGN_CA_FILE; do
    [ -n "${!name:-}" ] || continue
    input=$(realpath -m -- "${!name}")
    for folder in "$out" "$out.partial"; do
        if [ "$input" = "$(realpath -m -- "$folder")" ] || [[ $input == "$(realpath -m -- "$folder")"/* ]]; then
            echo "make dist: $name ('${!name}') lies inside $folder/, which make dist removes first; move it out" >&2
            status=2
        fi
    done
done
exit "$status"
