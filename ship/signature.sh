# Tells what Authenticode signature a shipped file carries; sourced by the release scripts.
#
# signature_state FILE prints one of:
#   data                 not a Windows program (no PE header): nothing to sign
#   unsigned             a program without a signature
#   signed<TAB>SUBJECT   a program whose signature matches its bytes, with its signer's subject
#   broken<TAB>REASON    a program changed after it was signed, or whose signature cannot be read
# Whether the signer is trusted is not asked here: only that the signature is there and still fits the file.

# Where osslsigncode offers them (2.9, not Debian 12's 2.5), verify fetches no certificate revocation list from the
# network. Asked once, when sourced: signature_state runs in a subshell for every file. Its help ends with status 255,
# so it is read whole rather than piped, which the callers' pipefail would take for "not offered".
signature_offline=()
signature_help=$(osslsigncode -h 2>&1 || true)
if [[ $signature_help == *-ignore-cdp* ]]; then signature_offline=(-ignore-cdp -ignore-crl); fi

is_program() {
    local offset
    [ "$(head -c 2 "$1")" = MZ ] || return 1
    offset=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
    [ -n "$offset" ] && [ "$(od -An -tx1 -j "$offset" -N 4 "$1" | tr -d ' ')" = 50450000 ]
}

signature_state() {
    local file=$1 work
    if ! is_program "$file"; then
        echo data
        return
    fi
    work=$(mktemp -d)
    # Present or not: verify fails alike for an unsigned file, a broken one and an untrusted signer.
    if ! osslsigncode extract-signature -pem -in "$file" -out "$work/signature.pem" >"$work/log" 2>&1; then
        # osslsigncode 2.9 says the first, 2.5 (Debian 12's own) the second.
        if grep -q -e "No signature found" -e "does not have any signature" "$work/log"; then
            echo unsigned
        else
            printf 'broken\t%s\n' "its signature cannot be read: $(grep -v '^$' "$work/log" | tail -1)"
        fi
        rm -rf "$work"
        return
    fi
    # The signature's own certificates as the trusted ones, so that verify goes on to compare the digests, offline.
    openssl pkcs7 -in "$work/signature.pem" -print_certs -out "$work/certs.pem" 2>/dev/null || : >"$work/certs.pem"
    osslsigncode verify -CAfile "$work/certs.pem" "${signature_offline[@]}" -in "$file" >"$work/log" 2>&1 || true
    if grep -q MISMATCH "$work/log"; then
        printf 'broken\t%s\n' "changed after it was signed (its digest no longer matches)"
    elif ! grep -q "^Calculated message digest" "$work/log"; then
        printf 'broken\t%s\n' "its signature cannot be checked: $(grep -v '^$' "$work/log" | tail -1)"
    else
        printf 'signed\t%s\n' "$(sed -n 's/^[[:space:]]*Subject: *//p' "$work/log" | head -1)"
    fi
    rm -rf "$work"
}
