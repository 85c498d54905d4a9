#!/usr/bin/env bash
# Writes release.txt: every shipped file with its path in the shipped folder, size, SHA-256, where it comes from
# and its signature, so that a vendor's QA can check a release file by file. It holds nothing of the machine or the
# time, so the same inputs give the same list. A program whose signature no longer fits its bytes stops it.
# Usage: release-list.sh <shipped folder> <zip> <origins: path, origin, SHA-256 before signing; tab-separated>
#        <one-file program>
set -euo pipefail

folder=$1 zip=$2 origins=$3 onefile=$4
source "$(dirname "$0")/signature.sh"

sha256() { sha256sum "$1" | cut -d ' ' -f 1; }

echo "# $(basename "$zip")  $(stat -c %s "$zip") bytes  SHA-256 $(sha256 "$zip")"
IFS=$'\t' read -r state detail < <(signature_state "$onefile")
case $state in
broken)
    echo "make dist: $(basename "$onefile"): $detail" >&2
    exit 1
    ;;
signed) signature="signed here ($detail)" ;;
*) signature=none ;;
esac
echo "# $(basename "$onefile")  $(stat -c %s "$onefile") bytes  SHA-256 $(sha256 "$onefile")  $signature  (the same files as one program)"
echo "# Each shipped file, tab-separated: path, size in bytes, SHA-256, origin, signature."
echo "# origin: built here | the vendor's | stand-in (made by the build; a signed release holds none)"
echo "# signature: signed here (signer) | its maker's (signer), kept as it came | none"
while IFS=$'\t' read -r name origin before; do
    path=$folder/$name
    now=$(sha256 "$path")
    IFS=$'\t' read -r state detail < <(signature_state "$path")
    case $state in
    broken)
        echo "make dist: $name: $detail" >&2
        exit 1
        ;;
    signed) [ "$now" = "$before" ] && signature="its maker's ($detail)" || signature="signed here ($detail)" ;;
    *) signature=none ;;
    esac
    printf '%s\t%s\t%s\t%s\t%s\n' "${name//\//\\}" "$(stat -c %s "$path")" "$now" "$origin" "$signature"
done <"$origins"
