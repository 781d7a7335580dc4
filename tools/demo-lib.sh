# What demo.sh and screenshots.sh share, sourced by both: a Wine world of their own (a private
# prefix, on the user's display when there is one, else on a private Xvfb), Lumivex started from
# the dist folder and ended cleanly, the demo driver's steps, and pictures of the Wine desktop.
# Needs: tools (this folder), wine_dir, dist, driver; sets lumivex_pid.

# The user's display when DISPLAY is set and a client can reach it; nothing otherwise.
demo_user_display() {
    [ -n "${DISPLAY:-}" ] || return 0
    if xwd -root -silent -display "$DISPLAY" >/dev/null 2>&1; then
        echo "$DISPLAY"
    fi
}

# Prepares the prefix and the display, and exports what every later wine call needs.
demo_setup() {
    user_display=$(demo_user_display)
    if [ -n "$user_display" ]; then
        echo "on your display $user_display"
    else
        echo "on a private display (no reachable DISPLAY)"
    fi
    LUMIVEX_DISPLAY=$user_display sh "$tools/wine-setup.sh" "$wine_dir" || exit 1
    export WINEPREFIX="$wine_dir/prefix"
    export WINEDEBUG="${LUMIVEX_WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ -n "$user_display" ]; then
        export DISPLAY="$user_display"
    else
        export DISPLAY=":$(cat "$wine_dir/display")"
    fi
    lumivex_pid=""
}

# Ends every process of the private prefix and the private display, whatever happened before.
demo_teardown() {
    sh "$tools/wine-teardown.sh" "$wine_dir" >/dev/null 2>&1
}

# Runs the demo driver's steps; its lines go to the output and to the file "$driver_out".
demo_steps() {
    status=0
    wine "$driver" "$@" </dev/null >"$driver_out" 2>&1 || status=$?
    tr -d '\r' <"$driver_out"
    return $status
}

# The numbers after the first driver line that starts with $1.
demo_field() {
    sed -n "s/^$1 //p" "$driver_out" | head -n 1 | tr -d '\r'
}

# Starts Lumivex.exe from the dist folder with the given switches, in the background.
demo_start_lumivex() {
    (cd "$dist" && exec wine Lumivex.exe "$@") </dev/null >/dev/null 2>&1 &
    lumivex_pid=$!
}

# Ends Lumivex with "/u" as a second instance; when that does not end it, by its "E&xit"
# button. Says which road ended it; false when none did.
demo_stop_lumivex() {
    [ -n "$lumivex_pid" ] || return 0
    wine "$dist/Lumivex.exe" /u </dev/null >/dev/null 2>&1
    if demo_wait_gone "$lumivex_pid" 150; then
        echo "Lumivex ended by \"/u\" (exit code $gone_code)"
    else
        echo "Lumivex still runs after \"/u\"; trying its E&xit button" >&2
        demo_steps exit >/dev/null
        if ! demo_wait_gone "$lumivex_pid" 150; then
            echo "Lumivex did not end" >&2
            return 1
        fi
        echo "Lumivex ended by its E&xit button (exit code $gone_code)"
    fi
    lumivex_pid=""
}

# Waits up to $2 tenths of a second for the process $1 (a child of this shell) to end; its exit
# code is then in gone_code.
demo_wait_gone() {
    i=0
    while kill -0 "$1" 2>/dev/null; do
        i=$((i + 1))
        [ $i -le "$2" ] || return 1
        sleep 0.1
    done
    gone_code=0
    wait "$1" 2>/dev/null || gone_code=$?
}

# A picture of the Wine desktop as PNG in $1, cut to "$2" (WIDTHxHEIGHT+X+Y) when given. On the
# user's display only the Wine desktop's window is taken, never the rest of the screen.
demo_picture() {
    if [ -n "$user_display" ]; then
        xwd -silent -name "Default - Wine desktop" -display "$DISPLAY"
    else
        xwd -silent -root -display "$DISPLAY"
    fi | if [ -n "${2:-}" ]; then
        convert xwd:- -crop "$2" +repage "png:$1"
    else
        convert xwd:- "png:$1"
    fi
    # A blank or failed capture has a handful of colours; windows with text have many more.
    colours=$(convert "$1" -format %k info: 2>/dev/null || echo 0)
    [ "$colours" -gt 20 ] || { echo "picture $1 looks blank ($colours colours)" >&2; return 1; }
}

# "left top width height" as a crop geometry with a margin of $2 pixels around it.
demo_crop() {
    echo "$1" | awk -v m="$2" '{ x = $1 - m; y = $2 - m; if (x < 0) x = 0; if (y < 0) y = 0;
        printf "%dx%d+%d+%d", $3 + 2 * m, $4 + 2 * m, x, y }'
}
