#!/usr/bin/env bash
# Writes the stand-in mark into a WAV file as its comment (a LIST/INFO/ICMT chunk after the samples, which players
# skip), so that a stand-in sound is known as one wherever it is copied. sox writes no comments into WAV files.
# Usage: mark-sound.sh <WAV file> <mark>
set -euo pipefail
export LC_ALL=C # lengths in bytes

wav=$1 mark=$2
le32() { # a number as four little-endian bytes
    local i
    for i in 0 8 16 24; do printf "\\$(printf %03o $((($1 >> i) & 255)))"; done
}
size=$((${#mark} + 1)) # the text and its NUL
pad=$((size % 2))      # chunks are word-aligned
{
    printf LIST && le32 $((4 + 8 + size + pad)) && printf INFOICMT && le32 "$size" && printf '%s\0' "$mark"
    if [ "$pad" -eq 1 ]; then printf '\0'; fi
} >>"$wav"
# The RIFF header's size: the whole file but its first 8 bytes.
le32 $(($(stat -c %s "$wav") - 8)) | dd of="$wav" bs=1 seek=4 conv=notrunc status=none
