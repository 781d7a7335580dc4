#!/bin/sh
# Ends what wine-setup.sh started: every process of the private prefix, then its display.
# Usage: wine-teardown.sh WINE_DIR
set -u
dir=$(cd "$1" 2>/dev/null && pwd || echo "$1")
export WINEPREFIX="$dir/prefix"
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
    rm -f "$dir/xvfb.pid" "$dir/display"
fi
exit 0
