#!/bin/sh
# Installs what the build and the tests need on Debian 12, only when something is missing.
set -eu
packages="cmake ninja-build make mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine wine64 wine32:i386 xvfb xauth
clang libclang-rt-14-dev imagemagick x11-apps nsis zip unzip"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

# A mirror in the middle of a sync fails an index now and then: try again, and if one index still
# fails, let the install decide whether what it needs was there.
cmd="dpkg --add-architecture i386 && { for try in 1 2 3; do apt-get update && break; sleep 20; done; true; } && DEBIAN_FRONTEND=noninteractive apt-get install -y$missing"
if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$missing" >&2
    echo "Run as root:  $cmd" >&2
    exit 1
fi
echo "Installing:$missing"
sh -c "$cmd"
