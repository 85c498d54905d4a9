#!/usr/bin/env bash
# The vendor's signed release, made as a vendor makes it: make-dist.sh with a folder of the vendor's files (a driver
# installer signed by its "chip maker", unsigned programs of the vendor's, data files and sounds of its own) and a
# throwaway code-signing certificate under a throwaway intermediate and root. Our setup and the vendor's unsigned
# programs verify against that root, the installer keeps its maker's signature byte for byte, every vendor file ships
# byte for byte under the setup's name for it, the zip holds exactly the signed folder, release.txt lists each file
# with its SHA-256 (the one-file program too, signed, whose cabinet holds exactly the signed folder), neither a stand-in
# nor a stale file of the build's folder ships, and a second release of the same
# inputs is the same bytes. Every refusal is a row of one table: each names its cause, leaves no folder (or, for an
# input inside it, leaves it untouched) and prints nothing but make dist's errors.
# Usage: signed-dist.sh <source tree> <build folder> <C compiler for Windows>
# It runs on the host alone and, once every check passed, leaves the release behind for the scenarios that run from it
# (tests/repro/CMakeLists.txt): only those take a lane of a Windows, which the signing took from the scenarios for a
# minute and more.
set -euo pipefail

source=$1 build=$2 cc=$3
# Inside the build tree: the Wine user must be able to read the release.
work=$build/signed-check
dist=$work/release

rm -rf "$work"
mkdir -p "$work"
servers=()
stop_servers() { for server in "${servers[@]}"; do kill "$server" 2>/dev/null || true; done; }
trap 'stop_servers; rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The throwaway certificates: a root, an intermediate under it, and under that the vendor's code-signing certificate
# (its pfx holds the intermediate, SIGN_CA_FILE the root), an expired one and one for servers only; the maker's is
# self-signed. Every pfx's password is in $work/password.
pki=$work/pki
mkdir -p "$pki/issued"
touch "$pki/index.txt"
echo 01 >"$pki/serial"
cat >"$pki/ca.cnf" <<CONFIG
[ca]
default_ca = issuer
[issuer]
database = $pki/index.txt
serial = $pki/serial
new_certs_dir = $pki/issued
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
[intermediate]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
[code_signing]
extendedKeyUsage = codeSigning
keyUsage = critical, digitalSignature
[server]
extendedKeyUsage = serverAuth
keyUsage = critical, digitalSignature, keyEncipherment
CONFIG
printf 'release-check' >"$work/password"
self_signed() { # <name> <subject> <extension>...
    local name=$1 subject=$2 extension extensions=()
    shift 2
    for extension in "$@"; do extensions+=(-addext "$extension"); done
    openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=$subject" "${extensions[@]}" \
        -keyout "$pki/$name.key" -out "$pki/$name.pem" 2>/dev/null
}
issue() { # <name> <subject> <issuer's name> <extensions' section in ca.cnf> <valid from> <valid until>
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$pki/$1.key" -out "$pki/$1.csr" 2>/dev/null
    openssl ca -batch -config "$pki/ca.cnf" -cert "$pki/$3.pem" -keyfile "$pki/$3.key" -extensions "$4" -notext \
        -startdate "$(date -u -d "$5" +%Y%m%d%H%M%SZ)" -enddate "$(date -u -d "$6" +%Y%m%d%H%M%SZ)" \
        -in "$pki/$1.csr" -out "$pki/$1.pem" 2>/dev/null
}
pfx() { # <name of the pfx> <name of its key and certificate> [name of a certificate it also holds]
    openssl pkcs12 -export -inkey "$pki/$2.key" -in "$pki/$2.pem" ${3:+-certfile "$pki/$3.pem"} \
        -passout "file:$work/password" -out "$pki/$1.pfx"
}
self_signed root "Kelvo release check root" "basicConstraints=critical,CA:true" "keyUsage=critical,keyCertSign,cRLSign"
issue intermediate "Kelvo release check CA" root intermediate "-1 day" "+2 days"
issue vendor "Kelvo release check" intermediate code_signing "-1 day" "+2 days"
issue expired "Kelvo release check expired" intermediate code_signing "-30 days" "-1 day"
issue server "Kelvo release check servers only" intermediate server "-1 day" "+2 days"
for name in vendor expired server; do pfx "$name" "$name" intermediate; done
pfx no-intermediate vendor
self_signed maker "Chip maker release check" "extendedKeyUsage=codeSigning" "keyUsage=digitalSignature"
pfx maker maker

# The vendor's folder. Names in another letter case than the setup's stand for files as a vendor really names them.
vendor=$work/vendor
installer="Kelvo Braille display driver.exe"
mark=$(cat "$build/dist-zip/standin-mark.txt")
mkdir -p "$vendor"/{driverforvista,driverfornt,update/WindowEyes6,Update/windoweyes7,updatedolphin/kelvo}
# The maker's installer does what the stand-in does, but is no stand-in: the mark overwritten, then signed.
cp "$build/dist/driverfornt/$installer" "$work/maker.exe"
printf '%-*s' ${#mark} "the chip maker's installer" | dd of="$work/maker.exe" conv=notrunc status=none \
    bs=1 seek="$(grep -obaF "$mark" "$work/maker.exe" | cut -d : -f 1)"
osslsigncode sign -pkcs12 "$pki/maker.pfx" -readpass "$work/password" -h sha256 \
    -in "$work/maker.exe" -out "$vendor/driverfornt/$installer" >/dev/null
cp "$vendor/driverfornt/$installer" "$vendor/driverforvista/$installer"
# Unsigned programs of the vendor's: tiny Windows programs, each with its own bytes.
printf 'const char kName[] = NAME;\n#ifdef PROGRAM\nint main(void) { return kName[0] == 0; }\n#endif\n' >"$work/program.c"
"$cc" -shared -s -DNAME='"webrloem107"' -o "$vendor/update/webrloem107.dll" "$work/program.c"
"$cc" -shared -s -DNAME='"KELVO"' -o "$vendor/updatedolphin/kelvo/Kelvo.DLL" "$work/program.c"
"$cc" -s -DPROGRAM -DNAME='"bdisplay"' -o "$vendor/update/bdisplay.exe" "$work/program.c"
for file in update/WindowEyes6/braille.ini Update/windoweyes7/braille.ini updatedolphin/kelvo.bk1 \
    updatedolphin/kelvo/kelvo00001.ini updatedolphin/kelvo/KELVO00039.ini updatedolphin/kelvo/kelvo00044.ini \
    updatedolphin/kelvo/kelvo00052.ini updatedolphin/kelvo/kelvo.sdi; do
    printf '; the vendor'\''s own %s\r\n[vendor]\r\nfile=%s\r\n' "$file" "$file" >"$vendor/$file"
done
for sound in chimes.wav Updating.wav WindowEyes.wav; do
    sox -q -n -r 8000 -b 16 -c 1 "$vendor/update/$sound" synth 0.1 sine 300 vol 0.2
done

# The build's shipped folder as make dist reads it, with a stale program left from an older build, which no
# release may hold. A copy: other tests read the build's own folder at the same time.
built=$work/build
mkdir -p "$built"
cp -a "$build/dist" "$build/dist-zip" "$built/"
cp "$vendor/update/bdisplay.exe" "$built/dist/update/stale.exe"

# The vendor's folder is named with trailing slashes, as a shell's completion may leave them.
release() { # <folder to write> [setting=value]...: the vendor's release, with the settings changed as given
    local out=$1
    shift
    env VENDOR_FILES="$vendor//" SIGN_PFX="$pki/vendor.pfx" SIGN_PASS_FILE="$work/password" SIGN_CA_FILE="$pki/root.pem" \
        "$@" bash "$source/ship/make-dist.sh" "$built" "$out"
}
unsigned=(SIGN_PFX= SIGN_PASS_FILE= SIGN_CA_FILE=)

# Time-stamp servers on this machine: one takes the connection and never answers, one answers with a web page, and
# a port where nothing listens. Each ends by itself within ten minutes (the test's own limit), should the test be
# killed: in the Wine machine on a busy host the steps before them took over two minutes.
timestamp_server() { # <silent | page> <variable to set to its URL>
    perl -MIO::Socket::INET -e '
        alarm 600;
        my $server = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 8) or die "$!\n";
        $| = 1;
        print $server->sockport, "\n";
        my @held;
        while (my $client = $server->accept) {
            push @held, $client;
            next if $ARGV[0] eq "silent";
            sysread $client, my $request, 65536;
            print $client "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nhello";
            close $client;
        }' "$1" >"$work/$1.port" 2>/dev/null &
    servers+=($!)
    for _ in $(seq 100); do [ -s "$work/$1.port" ] && break || sleep 0.1; done
    printf -v "$2" 'http://127.0.0.1:%s/' "$(cat "$work/$1.port")"
}
timestamp_server silent silent
timestamp_server page page
closed=http://127.0.0.1:$(perl -MIO::Socket::INET -e \
    'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 1)->sockport')/

# Each refusal names what it refuses, prints only make dist's errors, and leaves no folder, not even the older
# release it was to replace.
refused() { # <what> <text the message must hold> [setting=value]...
    local what=$1 text=$2
    shift 2
    mkdir -p "$work/refused" && touch "$work/refused/older-release"
    if release "$work/refused" "$@" >"$work/refusal.log" 2>&1; then
        fail "$what was not refused"
    fi
    grep -qF -- "$text" "$work/refusal.log" || fail "$what: the message does not name '$text': $(cat "$work/refusal.log")"
    grep -v '^make dist: ' "$work/refusal.log" | grep -q . && fail "$what: not only make dist's errors: $(cat "$work/refusal.log")"
    [ -e "$work/refused" ] && fail "$what left a folder behind"
    [ -e "$work/refused.partial" ] && fail "$what left a half-made folder behind"
    return 0
}
variant() { # a copy of the vendor's folder to change
    rm -rf "$work/variant" && cp -a "$vendor" "$work/variant" && echo "$work/variant"
}
damage() { # <file> <offset>: one byte changed
    printf 'X' | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
v=$(variant) && rm "$v/update/chimes.wav" "$v/updatedolphin/kelvo/kelvo.sdi"
refused "a stand-in left" "updatedolphin/kelvo/kelvo.sdi" VENDOR_FILES="$v"
grep -qF "update/chimes.wav" "$work/refusal.log" || fail "the refusal does not name every stand-in left"
v=$(variant) && cp "$build/dist/update/bdisplay.exe" "$v/update/bdisplay.exe"
refused "this build's stand-in in the vendor's folder" "update/bdisplay.exe (the file in VENDOR_FILES is a stand-in" \
    VENDOR_FILES="$v"
# Another build's stand-ins: an installer of other bytes, a settings file with other line ends.
v=$(variant) && cp "$build/dist/driverfornt/$installer" "$v/driverfornt/$installer" && printf 'X' >>"$v/driverfornt/$installer"
tr -d '\r' <"$build/dist/update/WindowEyes6/braille.ini" >"$v/update/WindowEyes6/braille.ini"
refused "another build's stand-in" "driverfornt/$installer (the file in VENDOR_FILES is a stand-in" VENDOR_FILES="$v"
grep -qF "update/WindowEyes6/braille.ini (the file" "$work/refusal.log" || fail "a stand-in with other line ends passes"
v=$(variant) && mv "$v/updatedolphin/kelvo/kelvo00044.ini" "$v/updatedolphin/kelvo/kelvo0044.ini"
refused "a name the setup never uses" "updatedolphin/kelvo/kelvo0044.ini' is no file the setup uses" VENDOR_FILES="$v"
v=$(variant) && : >"$v/update/chimes.wav"
refused "an empty file" "'update/chimes.wav' is empty" VENDOR_FILES="$v"
v=$(variant) && header=$(od -An -tu4 -j 60 -N 4 "$v/update/webrloem107.dll" | tr -d ' ')
printf '\x64\x86' | dd of="$v/update/webrloem107.dll" bs=1 seek=$((header + 4)) conv=notrunc status=none
refused "a 64-bit DLL" "'update/webrloem107.dll' is no 32-bit x86 Windows program" VENDOR_FILES="$v"
v=$(variant) && damage "$v/driverfornt/$installer" 2000
refused "a signature that no longer fits" "driverfornt/$installer: changed after it was signed" VENDOR_FILES="$v"
v=$(variant) && printf 'bad copy' >>"$v/driverfornt/$installer"
refused "bytes after a signature" "driverfornt/$installer: 8 bytes after its signature" VENDOR_FILES="$v"
refused "bytes after a signature, unsigned" "driverfornt/$installer: 8 bytes after its signature" VENDOR_FILES="$v" \
    "${unsigned[@]}"
v=$(variant) && truncate -s -100 "$v/driverforvista/$installer"
refused "a signed program cut short" "driverforvista/$installer: cut short" VENDOR_FILES="$v"
v=$(variant) && cp "$build/dist/Kelvo Braille display setup.exe" "$v/"
refused "the setup in the vendor's folder" "is the setup program" VENDOR_FILES="$v"
printf 'not-the-password' >"$work/wrong"
refused "a wrong password" "cannot be opened with the password in SIGN_PASS_FILE" SIGN_PASS_FILE="$work/wrong"
refused "an expired certificate" "the certificate of 'CN=Kelvo release check expired' expired on" \
    SIGN_PFX="$pki/expired.pfx"
refused "a certificate for servers only" "is not for code signing (its extended key usage: TLS Web Server" \
    SIGN_PFX="$pki/server.pfx"
refused "a pfx without its intermediate" "unable to get local issuer certificate" SIGN_PFX="$pki/no-intermediate.pfx"
refused "a root nobody trusts" "no trusted chain from 'CN=Kelvo release check'" SIGN_CA_FILE=
refused "time-stamp servers that give no time stamp" "$silent: no answer within 5 s; $page: no time-stamp reply" \
    SIGN_TIMESTAMP_URL="$silent $page $closed" SIGN_TIMESTAMP_TIMEOUT=5
grep -qF "$closed: refused the connection" "$work/refusal.log" || fail "a server that refuses is not named as such"
refused "a mistyped setting" "SIGN_PXF: no setting of make dist" SIGN_PXF="$pki/vendor.pfx"
refused "a password without a certificate" "SIGN_PASS_FILE is given without SIGN_PFX" SIGN_PFX=

# Inputs inside the folder to write are refused before it is removed, and stay where they are.
mkdir -p "$work/refused" && cp -a "$vendor" "$pki/vendor.pfx" "$work/refused/"
release "$work/refused" VENDOR_FILES="$work/refused/vendor" SIGN_PFX="$work/refused/vendor.pfx" >"$work/refusal.log" 2>&1 &&
    fail "inputs inside the folder to write were not refused"
grep -qF "SIGN_PFX ('$work/refused/vendor.pfx') lies inside $work/refused/" "$work/refusal.log" ||
    fail "the refusal of inputs inside the folder to write does not name them: $(cat "$work/refusal.log")"
diff -r -q "$vendor" "$work/refused/vendor" >/dev/null && cmp -s "$pki/vendor.pfx" "$work/refused/vendor.pfx" ||
    fail "inputs inside the folder to write were removed or changed"
rm -rf "$work/refused"

# The release.
release "$dist" >"$work/release.log" 2>&1 || fail "the release was refused: $(cat "$work/release.log")"
grep -q "stand-ins left" "$work/release.log" && fail "the release lists stand-ins: $(cat "$work/release.log")"
[ -e "$dist/update/stale.exe" ] && fail "a stale file of the build's folder is in the release"
# Without a time-stamp server, the same inputs give the same release, signatures included.
release "$work/again" >"$work/again.log" 2>&1 || fail "the second release was refused: $(cat "$work/again.log")"
diff -r -q "$dist" "$work/again" >"$work/again.diff" 2>&1 ||
    fail "a second signed release of the same inputs differs: $(tr '\n' ' ' <"$work/again.diff")"

# Every vendor file ships under the setup's name for it: the data byte for byte, the maker's installer unchanged.
while IFS= read -r -d '' path; do
    given=${path#"$vendor"/}
    shipped=$(cd "$dist" && find . -type f -ipath "./$given" | sed 's|^\./||')
    case ${given,,} in
    *.dll | update/bdisplay.exe) [ -n "$shipped" ] || fail "$given is not shipped" ;;
    *) cmp -s "$path" "$dist/$shipped" || fail "$given is not shipped byte for byte ('$shipped')" ;;
    esac
done < <(find "$vendor" -type f -print0)

verify() { # <program> <root>
    osslsigncode verify -CAfile "$pki/$2.pem" -in "$dist/$1" >"$work/verify.log" 2>&1 ||
        fail "$1 does not verify against the $2's certificate: $(grep -i -m2 'fail\|error\|mismatch' "$work/verify.log")"
    grep -q "SHA256" "$work/verify.log" || fail "$1 is not signed with SHA-256"
}
zip=$(cd "$dist" && ls ./*.zip) onefile=$(cd "$dist" && ls kelvo-setup-*.exe)
for program in "Kelvo Braille display setup.exe" update/webrloem107.dll update/bdisplay.exe \
    updatedolphin/kelvo/KELVO.dll "$onefile"; do
    verify "$program" root
done
for family in driverforvista driverfornt; do
    verify "$family/$installer" maker
    cmp -s "$vendor/$family/$installer" "$dist/$family/$installer" || fail "$family's installer lost its maker's bytes"
done

# release.txt: each shipped file once, with its real size and SHA-256, and none of them a stand-in.
list=$dist/release.txt
grep -v '^#' "$list" | cut -f 1 | tr '\\' / | LC_ALL=C sort >"$work/listed"
LC_ALL=C sort "$build/dist-zip/shipped.txt" | cmp -s - "$work/listed" || fail "release.txt does not list the shipped files"
while IFS=$'\t' read -r name size sha origin signature; do
    file=$dist/${name//\\//}
    [ "$size $sha" = "$(stat -c %s "$file") $(sha256sum "$file" | cut -d ' ' -f 1)" ] ||
        fail "release.txt's size or SHA-256 of $name is not the file's"
    [ "$origin" = stand-in ] && fail "release.txt lists a stand-in: $name"
    case $name in
    driverfor*) expected="its maker's (/CN=Chip maker release check)" ;;
    *.exe | *.dll) expected="signed here (/CN=Kelvo release check)" ;;
    *) expected=none ;;
    esac
    [ "$signature" = "$expected" ] || fail "release.txt: $name is '$signature', not '$expected'"
done < <(grep -v '^#' "$list")

# The zip, and the cabinet inside the one-file program (found by its header, which gives its length), hold exactly
# the signed folder.
mkdir "$work/unzipped" "$work/uncabbed"
(cd "$work/unzipped" && unzip -q "$dist/$zip")
python3 - "$dist/$onefile" "$work/payload.cab" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], "rb").read()
start = data.find(b"MSCF\0\0\0\0")
open(sys.argv[2], "wb").write(data[start:start + struct.unpack_from("<I", data, start + 8)[0]] if start >= 0 else b"")
PYTHON
(cd "$work/uncabbed" && gcab -x "$work/payload.cab" >/dev/null 2>&1) || fail "$onefile carries no readable cabinet"
for unpacked in unzipped uncabbed; do
    diff -r -q -x '*.zip' -x release.txt -x "$onefile" "$dist" "$work/$unpacked" >"$work/zip.log" ||
        fail "the $unpacked files are not the signed folder: $(cat "$work/zip.log")"
done
grep -qF "$(sha256sum "$dist/$zip" | cut -d ' ' -f 1)" "$list" || fail "release.txt does not give the zip's SHA-256"
grep -qF "# $onefile  $(stat -c %s "$dist/$onefile") bytes  SHA-256 $(sha256sum "$dist/$onefile" | cut -d ' ' -f 1)  signed here (/CN=Kelvo release check)" "$list" ||
    fail "release.txt does not give $onefile's size, SHA-256 and signature"

[ "$failures" -eq 0 ] || exit 1
# Kept for the scenarios (the Wine user must be able to read it); any other end removes it.
chmod -R a+rX "$work"
trap stop_servers EXIT
echo "vendor's signed release: every file verifies and ships byte for byte, release.txt lists them, a second one is the"
echo "same bytes, every refusal holds"
