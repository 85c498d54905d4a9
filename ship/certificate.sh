#!/usr/bin/env bash
# Checks the vendor's code-signing certificate as Windows will check its signatures, before anything is signed: the
# signer within its validity dates, its key usage and extended key usage allowing code signing, and a chain from it
# to a root. Windows builds the chain from the certificates in the signature, which are the pfx's, up to a root it
# trusts; so the intermediates must be in the pfx, and the root is one of the pfx's own, SIGN_CA_FILE's or this
# machine's trusted roots.
# Usage: certificate.sh <PKCS#12 file> <file holding its password> <CA file or ""> <work folder>
# Writes <work folder>/roots.pem, the roots that every signature made with it must verify against.
set -euo pipefail

pfx=$1 pass_file=$2 ca_file=$3 work=$4
fail() {
    echo "make dist: $*" >&2
    exit 1
}
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (make deps installs it)"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "SIGN_PFX: no readable certificate file '$pfx'"
[ -n "$pass_file" ] || fail "SIGN_PASS_FILE: name the file that holds the certificate's password"
[ -f "$pass_file" ] && [ -r "$pass_file" ] || fail "SIGN_PASS_FILE: no readable password file '$pass_file'"
[ -z "$ca_file" ] || { [ -f "$ca_file" ] && [ -r "$ca_file" ] && grep -q -- '-----BEGIN CERTIFICATE-----' "$ca_file"; } ||
    fail "SIGN_CA_FILE: no readable file of PEM certificates '$ca_file'"

# An older pfx is protected with algorithms that OpenSSL 3 reads only with -legacy.
certificates() { # <what: -clcerts | -cacerts> <file to write>
    openssl pkcs12 -in "$pfx" -passin "file:$pass_file" -nokeys "$1" -out "$2" 2>"$work/pkcs12.log" ||
        openssl pkcs12 -legacy -in "$pfx" -passin "file:$pass_file" -nokeys "$1" -out "$2" 2>>"$work/pkcs12.log"
}
certificates -clcerts "$work/signer.pem" && certificates -cacerts "$work/chain.pem" ||
    fail "SIGN_PFX: '$pfx' cannot be opened with the password in SIGN_PASS_FILE (wrong password, or no PKCS#12 file):" \
        "$(grep -v '^$' "$work/pkcs12.log" | head -1)"
grep -q -- '-----BEGIN CERTIFICATE-----' "$work/signer.pem" || fail "SIGN_PFX: '$pfx' holds no certificate for its key"
signer="'$(openssl x509 -in "$work/signer.pem" -noout -subject -nameopt RFC2253 | sed 's/^subject=//')'"

# The signer's dates: a signature by an expired certificate shows on the user's PC as untrusted.
now=$(date +%s)
dates=$(openssl x509 -in "$work/signer.pem" -noout -startdate -enddate)
from=$(sed -n 's/^notBefore=//p' <<<"$dates") until=$(sed -n 's/^notAfter=//p' <<<"$dates")
[ "$(date -d "$until" +%s)" -gt "$now" ] || fail "SIGN_PFX: the certificate of $signer expired on $until"
[ "$(date -d "$from" +%s)" -le "$now" ] || fail "SIGN_PFX: the certificate of $signer is valid only from $from"

# What it may be used for. No extension at all allows every use, as Windows reads it.
usage() { # <extension>: the uses it lists, comma-separated; nothing when the certificate has no such extension
    openssl x509 -in "$work/signer.pem" -noout -ext "$1" 2>/dev/null | sed -n '2p' | sed 's/^ *//'
}
key_usage=$(usage keyUsage) extended=$(usage extendedKeyUsage)
[ -z "$key_usage" ] || [[ $key_usage == *"Digital Signature"* ]] ||
    fail "SIGN_PFX: the certificate of $signer may not sign (its key usage: $key_usage)"
[ -z "$extended" ] || [[ $extended == *"Code Signing"* ]] ||
    fail "SIGN_PFX: the certificate of $signer is not for code signing (its extended key usage: $extended)"

# The roots: the self-issued certificates among the pfx's and SIGN_CA_FILE's, and this machine's trusted ones.
mkdir -p "$work/split"
cat "$work/chain.pem" ${ca_file:+"$ca_file"} | awk -v dir="$work/split" '
    /-----BEGIN CERTIFICATE-----/ { n++; on = 1 }
    on { print > (dir "/" n ".pem") }
    /-----END CERTIFICATE-----/ { on = 0; close(dir "/" n ".pem") }'
: >"$work/roots.pem"
for certificate in "$work"/split/*.pem; do
    [ -e "$certificate" ] || continue
    names=$(openssl x509 -in "$certificate" -noout -subject -issuer -nameopt RFC2253 | sed 's/^[a-z]*=//')
    [ "$(sed -n 1p <<<"$names")" != "$(sed -n 2p <<<"$names")" ] || cat "$certificate" >>"$work/roots.pem"
done
machine_roots=$(openssl version -d | sed 's/^OPENSSLDIR: "\(.*\)"$/\1/')/cert.pem
[ ! -r "$machine_roots" ] || cat "$machine_roots" >>"$work/roots.pem"

untrusted=()
grep -q -- '-----BEGIN CERTIFICATE-----' "$work/chain.pem" && untrusted=(-untrusted "$work/chain.pem")
if ! openssl verify -no-CApath -no-CAstore -CAfile "$work/roots.pem" "${untrusted[@]}" "$work/signer.pem" \
    >"$work/verify.log" 2>&1; then
    # openssl names the certificate it stopped at on the line before its error.
    reason=$(awk '/^error [0-9]+ at [0-9]+ depth lookup: / {
        sub(/^error [0-9]+ at [0-9]+ depth lookup: /, ""); print $0 " for " previous; exit } { previous = $0 }' \
        "$work/verify.log")
    case $reason in
    *"unable to get"*) hint="the pfx must hold every intermediate certificate, and the root must be one of the pfx's, SIGN_CA_FILE's or this machine's trusted roots" ;;
    *) hint="" ;;
    esac
    fail "SIGN_PFX: no trusted chain from $signer to a root: ${reason:-$(tail -1 "$work/verify.log")}${hint:+; $hint}"
fi
