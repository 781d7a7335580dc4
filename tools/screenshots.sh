#!/bin/sh
# Pictures of Lumivex from the dist folder for people: the main dialog's options and about pages
# and the tray menu, in English and in German (chosen by the per-user Config.ini before each
# start), the zoom level on screen after a step in the demo browser, and then the programs page
# listing that browser. Shares
# the demo's Wine prefix, so it does not run at the same time as the demo.
# Usage: screenshots.sh DIST_DIR BUILD_DIR
set -eu
tools=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
out="$build/screenshots"
wine_dir="$build/demo/wine"
driver="$build/i686/bin/lumivex_demo.exe"
for file in "$dist/Lumivex.exe" "$driver"; do
    [ -f "$file" ] || { echo "screenshots: $file is missing (make dist builds it)" >&2; exit 1; }
done
mkdir -p "$out" "$build/demo"
rm -f "$out"/main_*.png "$out"/tray_menu_*.png "$out"/zoom_label.png
host="$dist/demo/browser_host64.exe"
driver_out="$build/demo/driver.txt"
. "$tools/demo-lib.sh"

trap 'demo_teardown' EXIT
trap 'exit 130' INT TERM HUP
demo_setup

# German first, so the prefix is left in English for the demo.
for language in de:1031 en:1033; do
    name=${language%%:*}
    demo_steps language "${language#*:}"
    demo_start_lumivex
    demo_steps wait-shown 30000
    dialog=$(demo_field main | cut -d' ' -f1-4)
    sleep 1
    demo_picture "$out/main_options_$name.png" "$(demo_crop "$dialog" 6)"

    demo_steps about
    sleep 1
    demo_picture "$out/main_about_$name.png" "$(demo_crop "$dialog" 6)"

    demo_steps tray-menu
    menu=$(demo_field menu)
    sleep 1
    # The menu with the tray below it: from above its left corner to the screen's corner.
    demo_picture "$out/tray_menu_$name.png" \
        "$(echo "$menu" | awk '{ printf "4000x4000+%d+%d", $1 - 40, $2 - 24 }')"
    demo_steps close-menu >/dev/null
    demo_stop_lumivex
done

# The label lasts about a second after a step: the picture is taken at once.
demo_start_lumivex /m
demo_steps wait-main 30000 no-prompt browser_host64.exe
(exec wine "$host" "--title=Lumivex: zoom level on screen") </dev/null >/dev/null 2>&1 &
host_pid=$!
demo_steps wait-host 30000 focus-page zoom-in 1 >/dev/null
demo_picture "$out/zoom_label.png"
demo_steps quit-host >/dev/null
demo_wait_gone "$host_pid" 100 || echo "the browser host did not end by itself" >&2

# The programs page, which now lists the browser host it met.
demo_steps programs >/dev/null
dialog=$(demo_field programs | cut -d' ' -f1-4)
sleep 1
demo_picture "$out/main_programs_en.png" "$(demo_crop "$dialog" 6)"
demo_stop_lumivex
demo_teardown
trap - EXIT

echo
echo "pictures in $out:"
ls -1 "$out"/main_*.png "$out"/tray_menu_*.png "$out"/zoom_label.png
