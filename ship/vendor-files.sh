#!/usr/bin/env bash
# Puts the vendor's real files into a laid-out shipped folder in place of the stand-ins, byte for byte and under the
# names the setup uses. A name is matched as Windows matches it, whatever its letter case; a file the setup never
# uses is refused (a typo would otherwise leave the stand-in in place silently), and so is a setup program, which is
# built from these sources, and a file that cannot be what the setup expects: an empty one, or a program that is no
# 32-bit x86 Windows program (the setup and the screen readers it feeds are 32-bit). A file that carries the
# stand-ins' mark, or has the bytes of the stand-in it replaces, is a stand-in, whichever build of ours made it.
# Nothing is changed unless every file is accepted.
# Usage: vendor-files.sh <shipped folder, with the stand-ins> <list of the shipped files> <list of the stand-ins>
#        <the stand-ins' mark> <vendor's folder>
# Prints the shipped name of every file put in and, after a tab, "the vendor's" or "stand-in", one a line.
set -euo pipefail

folder=$1 shipped=$2 standins=$3 mark=$4 vendor=$5
source "$(dirname "$0")/pe.sh"
while [[ $vendor == */ && $vendor != / ]]; do vendor=${vendor%/}; done # dir// is dir
[ -d "$vendor" ] || {
    echo "make dist: VENDOR_FILES: no folder '$vendor'" >&2
    exit 1
}

export LC_ALL=C # letter case folded as Windows folds these ASCII names, whatever the locale
declare -A standin built taken
while IFS= read -r name; do standin[${name,,}]=$name; done <"$standins"
while IFS= read -r name; do [ -n "${standin[${name,,}]:-}" ] || built[${name,,}]=$name; done <"$shipped"

errors=()
placed=()
while IFS= read -r -d '' path; do
    given=${path#"$vendor"/}
    key=${given,,}
    if [ ! -f "$path" ]; then
        errors+=("'$given' is not a regular file")
    elif [ -n "${built[$key]:-}" ]; then
        errors+=("'$given' is the setup program, which is built here from these sources; take it out")
    elif [ -z "${standin[$key]:-}" ]; then
        errors+=("'$given' is no file the setup uses (check its name and folder against the shipped folder)")
    elif [ -n "${taken[$key]:-}" ]; then
        errors+=("'$given' and '${taken[$key]}' are the same file to Windows")
    elif [ ! -r "$path" ]; then
        errors+=("'$given' cannot be read")
    elif cmp -s "$path" "$folder/${standin[$key]}" || grep -qaF -- "$mark" "$path"; then
        taken[$key]=$given
        placed+=("$path" "${standin[$key]}" stand-in)
    elif [ ! -s "$path" ]; then
        errors+=("'$given' is empty")
    elif [[ $key == *.exe || $key == *.dll ]] && ! pe_headers "$path"; then
        errors+=("'$given' is no Windows program (no PE header)")
    elif [[ $key == *.exe || $key == *.dll ]] && [ "$pe_machine:$pe_magic" != "$pe_machine_x86:$pe_magic_32" ]; then
        errors+=("'$given' is no 32-bit x86 Windows program (its header names machine $(printf '0x%x' "$pe_machine"))")
    else
        taken[$key]=$given
        placed+=("$path" "${standin[$key]}" "the vendor's")
    fi
done < <(find -L "$vendor" -mindepth 1 ! -type d -print0 | sort -z)

if [ ${#errors[@]} -gt 0 ]; then
    for error in "${errors[@]}"; do echo "make dist: VENDOR_FILES ($vendor): $error" >&2; done
    exit 1
fi
for ((i = 0; i < ${#placed[@]}; i += 3)); do
    cp "${placed[i]}" "$folder/${placed[i + 1]}" 2>/dev/null || {
        echo "make dist: VENDOR_FILES ($vendor): '${placed[i]#"$vendor"/}' could not be copied" >&2
        exit 1
    }
    printf '%s\t%s\n' "${placed[i + 1]}" "${placed[i + 2]}"
done
