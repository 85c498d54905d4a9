# Tells what Authenticode signature a shipped file carries; sourced by the release scripts.
#
# signature_state FILE prints one of:
#   data                 not a Windows program (no PE header): nothing to sign
#   unsigned             a program whose certificate table is empty
#   signed<TAB>SUBJECT   a program whose signature matches its bytes, with its signer's subject
#   broken<TAB>REASON    a program with a signature that does not fit it: changed, cut short, bytes after it, unreadable
# Whether the signer is trusted is not asked here: only that the signature is there and still fits the file.
source "$(dirname "${BASH_SOURCE[0]}")/pe.sh"

# Where osslsigncode offers them (2.9, not Debian 12's 2.5), verify fetches no certificate revocation list from the
# network. Asked once, when sourced: signature_state runs in a subshell for every file. Its help ends with status 255,
# so it is read whole rather than piped, which the callers' pipefail would take for "not offered".
signature_offline=()
signature_help=$(osslsigncode -h 2>&1 || true)
if [[ $signature_help == *-ignore-cdp* ]]; then signature_offline=(-ignore-cdp -ignore-crl); fi

signature_state() {
    local file=$1 work end
    if ! pe_headers "$file"; then
        echo data
        return
    fi
    # The PE's own certificate table decides: osslsigncode reports a damaged signature as no signature at all.
    if [ "$pe_cert_size" -eq 0 ]; then
        echo unsigned
        return
    fi
    end=$((pe_cert_offset + pe_cert_size))
    if [ "$end" -gt "$pe_size" ]; then
        printf 'broken\t%s\n' "cut short: its signature ends at byte $end of a $pe_size-byte file (an incomplete copy?)"
        return
    elif [ "$end" -lt "$pe_size" ]; then
        printf 'broken\t%s\n' "$((pe_size - end)) bytes after its signature, which must end the file (a damaged copy?)"
        return
    fi
    work=$(mktemp -d)
    if ! osslsigncode extract-signature -pem -in "$file" -out "$work/signature.pem" >"$work/log" 2>&1; then
        printf 'broken\t%s\n' "its signature cannot be read: $(grep -v '^$' "$work/log" | tail -1)"
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
