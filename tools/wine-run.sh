#!/bin/sh
# Runs one Windows program in the private Wine world prepared by wine-setup.sh.
# Usage: wine-run.sh WINE_DIR PROGRAM [ARGS...]
set -eu
dir=$(cd "$1" 2>/dev/null && pwd || echo "$1")
shift
if [ ! -f "$dir/display" ]; then
    echo "wine-run.sh: no display in $dir; run the wine_setup test first" >&2
    exit 1
fi
export WINEPREFIX="$dir/prefix"
export DISPLAY=":$(cat "$dir/display")"
export WINEDEBUG="${LUMIVEX_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
exec wine "$@"
