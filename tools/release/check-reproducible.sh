#!/bin/sh
# The release is reproducible: two packagings of one dist/ under other file times, umask and time
# zone give the same installer and zip bytes, and the shipped programs carry no link time in
# their headers (so two builds of one commit give the same files to package).
# Usage: check-reproducible.sh DIST
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

for file in Lumivex.exe LumivexDll.dll LumivexServer.exe LumivexDll64.dll; do
    pe=$(od -An -tu4 -j60 -N4 "$dist/$file" | tr -d ' ')
    stamp=$(od -An -tu4 -j$((pe + 8)) -N4 "$dist/$file" | tr -d ' ')
    if [ "$stamp" != 0 ]; then
        echo "FAIL: $file carries a link time ($stamp)" >&2
        status=1
    fi
done

cp -R "$dist" "$work/dist1"
cp -R "$dist" "$work/dist2"
find "$work/dist2" -exec touch -d "2001-02-03 04:05:06" {} +
sh "$here/make-release.sh" "$work/dist1" "$work/out1" >/dev/null
(umask 077 && TZ=Pacific/Kiritimati sh "$here/make-release.sh" "$work/dist2" "$work/out2" >/dev/null)
for made in "$work/out1"/*; do
    name=$(basename "$made")
    if cmp -s "$made" "$work/out2/$name"; then
        echo "same bytes: $name ($(wc -c <"$made") bytes)"
    else
        echo "FAIL: $name differs between two packagings" >&2
        status=1
    fi
done
[ "$(ls "$work/out1" | wc -l)" -eq 2 ] || { echo "FAIL: expected an installer and a zip" >&2; status=1; }
exit $status
