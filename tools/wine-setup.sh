#!/bin/sh
# Prepares the private Wine world for a test run: an Xvfb display of its own, a Wine prefix of
# its own (made once, reused by later runs), crash dialogs off and a virtual desktop for every
# program, so tests get windows, focus and a tray without touching the user's Wine or display.
# Usage: wine-setup.sh WINE_DIR
set -eu
dir=$1
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
export WINEPREFIX="$dir/prefix"
export WINEDEBUG="${LUMIVEX_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# A display left by an earlier run of this tree is reused while its server still lives.
# LUMIVEX_DISPLAY names a display of the caller's instead (the demo on the user's screen): it is
# used as it is, and neither recorded nor ended here.
display=""
if [ -n "${LUMIVEX_DISPLAY:-}" ]; then
    :
elif [ -f "$dir/xvfb.pid" ] && [ -f "$dir/display" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
    display=$(cat "$dir/display")
else
    # Xvfb picks a free display number itself, so parallel runs never race for one.
    rm -f "$dir/display.new"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$dir/display.new" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    i=0
    while [ ! -s "$dir/display.new" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then echo "Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; fi
        sleep 0.1
    done
    display=$(tr -dc 0-9 <"$dir/display.new")
    while [ ! -e "/tmp/.X11-unix/X$display" ]; do sleep 0.05; done
    echo "$display" >"$dir/display"
    rm -f "$dir/display.new"
fi
if [ -n "${LUMIVEX_DISPLAY:-}" ]; then
    export DISPLAY="$LUMIVEX_DISPLAY"
else
    export DISPLAY=":$display"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$dir/wineboot.log" 2>&1
    wineserver -w
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x900 /f >/dev/null 2>&1
    wineserver -w
fi

# Keep one wineserver for the whole run instead of one per test program.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p </dev/null >/dev/null 2>&1
# Start the desktop and Wine's own services now, detached from our output: tests that start
# them would otherwise hand them ctest's pipes and keep ctest waiting.
wine reg query 'HKCU\Software\Wine\Explorer' </dev/null >/dev/null 2>&1
echo "Wine ready: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
