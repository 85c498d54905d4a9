#!/usr/bin/env bash
# The demo's session as a blind user hears it: each text the screen reader speaks, from the moment its prompt opened
# until the next one interrupts it, and every sound the wizard played, from the moment it played it, mixed into
# session.wav on the timeline of the run. The sounds also join the transcript at their times.
# Usage: soundtrack.sh OUT-FOLDER SETUP-FOLDER WINE-TRACE
# The runner's timeline.txt gives the tick count of its start and its events: when the screen reader spoke each text
# (speak), fell silent because the user closed it (silent), when the setup spoke a text in its own voice (voice), when
# a prompt opened that no one hears (unheard), and when the wizard ended (end). The setup's own voice is another
# espeak-ng voice than the screen reader's, so that a listener hears who speaks.
# Wine's winmm trace (with timestamps, on the same tick count) names each sound file as the wizard plays it.
set -euo pipefail
out=$1 setup=$2 trace=$3
export LC_ALL=C
rate=(-r 22050 -c 1 -b 16)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

start=$(sed -n 's/^start //p' "$out/timeline.txt")
# Wine's line: ' 40.383:0118:trace:winmm:proc_PlaySound SoundName=L"C:\\Kelvo setup\\update\\chimes.wav" !'
sed -n 's/^ *\([0-9]*\)\.\([0-9][0-9][0-9]\):.*:proc_PlaySound SoundName=L"\(.*\)" !.*$/\1\2 \3/p' "$trace" |
    while read -r tick name; do
        name=${name//\\\\/\\}
        echo "$((10#$tick - start)) play ${name#*:\\*\\}"
    done >"$tmp/sounds"
grep -E '^(speak|silent|voice|unheard) ' "$out/timeline.txt" >"$tmp/events" || true

stamp() { printf '[%02d:%02d.%d]' $(($1 / 60000)) $(($1 / 1000 % 60)) $(($1 / 100 % 10)); }
seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# One clip a text, shifted to its time; a text is cut at the next event, as a screen reader stops speaking when the
# focus moves or it is closed. At a prompt no one hears, the transcript names the sounds the user hears instead: those
# the wizard played from the event before it until the next one.
# The session lasts until the wizard ended, so that a silence at its end is heard as one.
end=$(sed -n 's/^end //p' "$out/timeline.txt")
sox -q -n "${rate[@]}" "$tmp/clip-0.wav" trim 0 "$(seconds "${end:-100}")"
n=0 last=0
while read -r kind ms text; do
    n=$((n + 1))
    next=$(awk -v n="$n" 'NR == n + 1 { print $2 }' "$tmp/events")
    if [ "$kind" = speak ] || [ "$kind" = voice ]; then
        voice=()
        [ "$kind" = speak ] || voice=(-v en+f3)
        espeak-ng "${voice[@]}" -w "$tmp/speech-$n.wav" "$text"
        cut=()
        [ -z "$next" ] || cut=(trim 0 "$(seconds $((next - ms)))")
        sox -V1 "$tmp/speech-$n.wav" "${rate[@]}" "$tmp/clip-s$n.wav" "${cut[@]}" pad "$(seconds "$ms")"
    elif [ "$kind" = unheard ]; then
        heard=$(awk -v from="$last" -v to="${next:-}" '$1 >= from && (to == "" || $1 < to) { printf "%s, then ", $3 }' \
            "$tmp/sounds")
        printf '%s   Instead the user hears %ssilence.\r\n' "$(stamp "$ms")" "$heard" >>"$tmp/heard"
    fi
    last=$ms
done <"$tmp/events"
n=0
while read -r ms _ file; do
    n=$((n + 1))
    printf '%s   The wizard plays %s.\r\n' "$(stamp "$ms")" "$file" >>"$tmp/heard"
    host="$setup/${file//\\//}"
    [ -f "$host" ] || continue  # the platform's default sound, which has no file here
    sox -q "$host" "${rate[@]}" "$tmp/clip-p$n.wav" pad "$(seconds "$ms")"
done <"$tmp/sounds"

inputs=()
for clip in "$tmp"/clip-*.wav; do inputs+=(-v 1 "$clip"); done
sox -q -m "${inputs[@]}" "$out/session.wav" gain -n -1
if [ -s "$tmp/heard" ]; then
    sort -s -k1,1 "$tmp/heard" | sort -m -s -k1,1 "$out/transcript.txt" - >"$tmp/transcript"
    cp "$tmp/transcript" "$out/transcript.txt"
fi
echo "the session as a blind user hears it: demo-out/session.wav ($(grep -c -E '^(speak|voice) ' "$tmp/events") texts, $(wc -l <"$tmp/sounds") sounds)"
