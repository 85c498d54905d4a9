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
