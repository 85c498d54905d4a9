# Reads a Windows program's headers from the file itself, with od; sourced by the release scripts.
#
# pe_headers FILE sets pe_size, pe_machine, pe_magic, pe_cert_offset and pe_cert_size (the certificate table:
# data directory 4 of the optional header, where Authenticode keeps a signature), and fails when FILE is not a
# PE file. Every read is checked against the file's size first, so an odd file gives no od or shell noise.

pe_machine_x86=332 pe_magic_32=267 pe_magic_64=523 # 0x14c; 0x10b (PE32), 0x20b (PE32+)

pe_u() { # <bytes: 2|4> <file> <offset>: the little-endian number there; fails past the end
    [ $(($3 + $1)) -le "$pe_size" ] && od -An -tu"$1" --endian=little -j "$3" -N "$1" "$2" | tr -d ' '
}

pe_headers() {
    local file=$1 header directories count
    pe_size=$(stat -L -c %s "$file") pe_cert_offset=0 pe_cert_size=0
    [ "$(pe_u 2 "$file" 0)" = 23117 ] || return 1 # "MZ"
    header=$(pe_u 4 "$file" 60) || return 1
    [ "$(pe_u 4 "$file" "$header")" = 17744 ] || return 1 # "PE\0\0"
    pe_machine=$(pe_u 2 "$file" $((header + 4))) || return 1
    pe_magic=$(pe_u 2 "$file" $((header + 24))) || return 1
    case $pe_magic in
    "$pe_magic_32") directories=$((header + 24 + 96)) ;;
    "$pe_magic_64") directories=$((header + 24 + 112)) ;;
    *) return 1 ;;
    esac
    count=$(pe_u 4 "$file" $((directories - 4))) || return 1
    if [ "$count" -gt 4 ]; then
        pe_cert_offset=$(pe_u 4 "$file" $((directories + 32))) || return 1
        pe_cert_size=$(pe_u 4 "$file" $((directories + 36))) || return 1
    fi
}

# pe_checksum FILE OFFSET: the PE header's checksum of FILE as the linker and the signing tools compute it (16-bit
# words summed with their carries folded in, the checksum field at OFFSET left out, then the file's size added).
pe_checksum() {
    od -An -tu2 -v --endian=little "$1" | awk -v skip=$(($2 / 2)) -v size="$(stat -L -c %s "$1")" '
        { for (i = 1; i <= NF; i++) { if (n != skip && n != skip + 1) { sum += $i; sum = sum % 65536 + int(sum / 65536) } n++ } }
        END { sum = sum % 65536 + int(sum / 65536); print sum + size }'
}

# pe_write FILE OFFSET BYTES NUMBER: NUMBER written little-endian in BYTES bytes at OFFSET of FILE.
pe_write() {
    local bytes='' i
    for ((i = 0; i < $3; i++)); do bytes+=$(printf '\\x%02x' $((($4 >> (8 * i)) & 255))); done
    printf "$bytes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
