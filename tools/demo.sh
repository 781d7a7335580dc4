#!/bin/sh
# The demo: Lumivex from the dist folder, in the tray, zooms a browser program three steps as a
# user would (the page gets the focus, then Ctrl and "+" three times, injected), with pictures
# before and after. Runs in a Wine prefix of its own, on your display when DISPLAY reaches one,
# else on a private one; every Wine process of that prefix ends with it.
# Usage: demo.sh DIST_DIR BUILD_DIR [HOST_BITS]
#   HOST_BITS 64 (default) or 32: which browser host of dist/demo is zoomed. Under Wine 8 the
#   32-bit one is not reached while the 64-bit hook server runs: Wine calls the newest global
#   hook first, cannot load the 64-bit library into a 32-bit program and stops there.
set -eu
tools=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
bits=${3:-64}
case "$bits" in 32 | 64) ;; *) echo "demo: HOST_BITS is 32 or 64, not $bits" >&2; exit 2 ;; esac
out="$build/demo"
wine_dir="$out/wine"
driver="$build/i686/bin/lumivex_demo.exe"
host="$dist/demo/browser_host$bits.exe"
for file in "$dist/Lumivex.exe" "$host" "$driver"; do
    [ -f "$file" ] || { echo "demo: $file is missing (make dist builds it)" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out/before.png" "$out/after.png"
driver_out="$out/driver.txt"
. "$tools/demo-lib.sh"

trap 'demo_teardown' EXIT
trap 'exit 130' INT TERM HUP
demo_setup

echo "starting Lumivex in the tray"
demo_start_lumivex /m
demo_steps wait-main 30000 no-prompt "browser_host$bits.exe"

echo "starting the browser host ($bits-bit)"
(exec wine "$host" "--title=Lumivex demo: browser_host$bits.exe") </dev/null >/dev/null 2>&1 &
host_pid=$!
demo_steps wait-host 30000 focus-page zoom
before=$(demo_field zoom)
sleep 1
demo_picture "$out/before.png"

demo_steps zoom-in 3
after=$(demo_field zoom)
sleep 1
demo_picture "$out/after.png"

demo_steps quit-host >/dev/null
demo_wait_gone "$host_pid" 100 || echo "the browser host did not end by itself" >&2
demo_stop_lumivex
demo_teardown
trap - EXIT
echo "every Wine process of the demo's prefix has ended"

echo
echo "zoom before: $before per cent; after Ctrl and \"+\" three times: $after per cent"
echo "pictures: $out/before.png"
echo "          $out/after.png"
[ "$after" = 160 ] || { echo "demo: expected 160 per cent" >&2; exit 1; }
