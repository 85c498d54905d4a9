#!/usr/bin/env bash
# Signs the programs of a laid-out shipped folder with the vendor's code-signing certificate (Authenticode,
# SHA-256). Our own programs are always signed. Every other program is signed only when it carries no signature:
# one signed by its maker keeps that signature byte for byte (re-signing would name the vendor as the publisher of
# a program it did not write), and one whose signature does not fit its bytes stops the release. The certificate is
# checked first, and every signature made here must verify against its chain. Every program is signed, or none is
# changed.
# Without a time-stamp server the signing time is SOURCE_DATE_EPOCH, so the same inputs give the same bytes; a
# time-stamp server's reply holds the real time. Each server gets SIGN_TIMESTAMP_TIMEOUT seconds (60 by default)
# a request, in the order given; the first that answers time-stamps the program.
# Usage: sign-dist.sh <shipped folder> <PKCS#12 file> <file holding its password> <CA file or "">
#        <RFC 3161 time-stamp URLs, space-separated, or ""> <name of our own program in the folder>...
set -euo pipefail

folder=$1 pfx=$2 pass_file=$3 ca_file=$4
read -r -a servers <<<"$5"
shift 5
ours=("$@")
fail() {
    echo "make dist: $*" >&2
    exit 1
}
source "$(dirname "$0")/signature.sh"
limit=${SIGN_TIMESTAMP_TIMEOUT:-60}
[[ $limit =~ ^[1-9][0-9]*$ ]] || fail "SIGN_TIMESTAMP_TIMEOUT: a number of seconds, not '$limit'"
epoch=${SOURCE_DATE_EPOCH:-1262304000} # the zip's fixed day when none is given, as make-zip.sh
[[ $epoch =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH: seconds since 1970, not '$epoch'"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$(dirname "$0")/certificate.sh" "$pfx" "$pass_file" "$ca_file" "$work"

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
    esac
done < <(find "$folder" -type f -print0 | LC_ALL=C sort -z)
for own in "${ours[@]}"; do [ -f "$folder/$own" ] || refused+=("$own: missing"); done
if [ ${#refused[@]} -gt 0 ]; then
    printf 'make dist: not signed, since a program cannot ship as it is: %s\n' "${refused[@]}" >&2
    exit 1
fi

# Why a time-stamp server gave no time stamp, from osslsigncode's words (2.9 uses OpenSSL's HTTP, 2.5 curl's). An
# OpenSSL error line is cut to its reason and detail.
timestamp_cause() { # <status of the signing> <its log>
    if [ "$1" -eq 124 ]; then
        echo "no answer within $limit s"
    elif grep -qi -e "connection refused" -e "couldn't connect" "$2"; then
        echo "refused the connection"
    elif grep -qi -e "not known" -e "resolve" "$2"; then
        echo "no such host"
    elif grep -qi -e "content type" -e "convert" -e "response status" "$2"; then
        echo "no time-stamp reply: $(grep -i -m1 -e "content type" -e "convert" -e "response status" "$2" |
            sed 's/^[0-9A-F]*:error:[0-9A-F]*:[^:]*:[^:]*:\([^:]*\):[^:]*:[0-9]*:/\1: /')"
    else
        grep -v '^$' "$2" | tail -1
    fi
}

sign() { # <program> <signed copy to write>: signs it, with a time stamp from the first server that gives one
    local program=$1 out=$2 description=() server status causes=()
    is_ours "${program#"$folder"/}" && description=(-n "Kelvo Braille display setup")
    local command=(osslsigncode sign -pkcs12 "$pfx" -readpass "$pass_file" -h sha256 "${description[@]}"
        ${ca_file:+-ac "$ca_file"} -in "$program" -out "$out")
    if [ ${#servers[@]} -eq 0 ]; then
        "${command[@]}" -time "$epoch" >"$work/log" 2>&1 ||
            fail "could not sign ${program#"$folder"/} with $pfx: $(grep -v '^$' "$work/log" | tail -2 | tr '\n' ' ')"
        return
    fi
    for server in "${servers[@]}"; do
        rm -f "$out"
        status=0
        timeout "$limit" "${command[@]}" -ts "$server" >"$work/log" 2>&1 || status=$?
        [ "$status" -ne 0 ] || return 0
        causes+=("$server: $(timestamp_cause "$status" "$work/log")")
    done
    fail "no time stamp for ${program#"$folder"/}, so nothing is signed; $(printf '%s; ' "${causes[@]}" | sed 's/; $//')"
}

for i in "${!to_sign[@]}"; do
    name=${to_sign[$i]}
    sign "$folder/$name" "$work/$i"
    # As Windows will check it: against the chain up to a root, not the certificates the signature carries.
    osslsigncode verify -CAfile "$work/roots.pem" "${signature_offline[@]}" -in "$work/$i" >"$work/log" 2>&1 ||
        fail "$name, signed here, does not verify against the certificate's chain:" \
            "$(grep -i -m1 -e error -e fail -e unable "$work/log")"
done
# Every program signed: only now is the folder changed.
for i in "${!to_sign[@]}"; do
    cat "$work/$i" >"$folder/${to_sign[$i]}"
    echo "signed here: ${to_sign[$i]}"
done
[ ${#kept[@]} -eq 0 ] || printf '%s\n' "${kept[@]}"
