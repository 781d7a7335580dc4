#!/bin/sh
# Screenshot of the browser host once its self-test has zoomed page 0 to 150 per cent, so a
# person can see what a zoom does to the page.
# Usage: screenshot.sh TOOLS_DIR WINE_DIR HOST_EXE OUTPUT_PNG
set -eu
tools=$1
wine_dir=$2
host=$3
out=$4
log=$(mktemp /tmp/lumivex-screenshot-XXXXXX)
trap 'rm -f "$log"' EXIT
winlog="Z:$(printf '%s' "$log" | tr / '\\')"

"$tools/wine-run.sh" "$wine_dir" "$host" "--log=$winlog" --browsers=2 --second-thread \
    --selftest=0 --exit-after=30000 </dev/null >/dev/null 2>&1 &
pid=$!
i=0
until grep -q " PAINT index=0 zoom=150" "$log"; do
    i=$((i + 1))
    if [ $i -gt 300 ]; then
        echo "the host never painted page 0 at 150 per cent:" >&2
        cat "$log" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done
sleep 1
mkdir -p "$(dirname "$out")"
xwd -root -display ":$(cat "$wine_dir/display")" | convert xwd:- "png:$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

# A blank or failed capture has a handful of colours; the page has gradients and text.
colours=$(convert "$out" -format %k info:)
echo "screenshot: $out ($colours colours)"
[ "$colours" -gt 50 ]
