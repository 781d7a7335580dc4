#!/bin/sh
# Picture of the first-use prompt over the browser host with the flashing frame drawn, so a
# person can see it: the picture test of prompt_e2e_test saves the screen as a bitmap, and this
# turns it into a PNG.
# Usage: prompt_screenshot.sh TOOLS_DIR WINE_DIR TEST_EXE OUTPUT_PNG
set -eu
tools=$1
wine_dir=$2
test_exe=$3
out=$4
dir=$(mktemp -d /tmp/lumivex-prompt-shot-XXXXXX)
trap 'rm -rf "$dir"' EXIT
winbmp="Z:$(printf '%s' "$dir/prompt.bmp" | tr / '\\')"

status=0
LUMIVEX_PROMPT_PICTURE=$winbmp "$tools/wine-run.sh" "$wine_dir" "$test_exe" \
    --gtest_filter='PromptPicture.*' --gtest_also_run_disabled_tests --gtest_color=no \
    </dev/null >"$dir/test.log" 2>&1 || status=$?
cat "$dir/test.log"
grep -q '^\[  PASSED  \] 1 test' "$dir/test.log" || exit 1
[ -s "$dir/prompt.bmp" ] || { echo "no picture saved (exit $status)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
convert "bmp:$dir/prompt.bmp" "png:$out"
# A blank or failed capture has a handful of colours; host page and dialog have many.
colours=$(convert "$out" -format %k info:)
echo "screenshot: $out ($colours colours)"
[ "$colours" -gt 50 ]
