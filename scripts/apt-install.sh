#!/usr/bin/env bash
# Installs Debian packages by name, as root, from this machine's own apt sources; used on the host and, copied in, when
# the Wine machine's disk is built.
#   apt-install.sh PACKAGE...
# A mirror caught mid-sync serves one list that does not match its release file (seen: the security suite's i386 list),
# and apt-get update then fails as a whole although every other list came. The lists that came are used: with one
# architecture's security list missing, a library that both architectures must have at one version is offered at two,
# so the install falls back to the release's own versions, which every architecture's list has.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq ||
    echo "apt-install: some package lists could not be read (see above); installing from those that could" >&2
apt-get install -y -qq --no-install-recommends "$@" >/dev/null && exit 0
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "apt-install: installing again from the $release release's own versions" >&2
apt-get install -y -qq --no-install-recommends -t "$release" "$@" >/dev/null && exit 0
# A library this machine already has at a newer version than the release's (from the security suite) needs its other
# architecture's twin at that version, which only the list that did not come names; nothing is downgraded for it.
echo "apt-install: could not install $*; if a package list failed above, try again once the mirror serves it" >&2
exit 100
