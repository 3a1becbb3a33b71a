#!/usr/bin/env bash
# Takes the README's screenshots of the real program under Xvfb with a window manager, driving
# it with xdotool as a player would. Rerun after a visual change:
#   scripts/screenshots.sh [BUILD-DIR]    (needs xvfb, xdotool, openbox, imagemagick)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs/screenshots
mkdir -p "$out"

if [ -z "${SCREENSHOT_INNER:-}" ]; then
    export SCREENSHOT_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$0" "$build"
fi

export LANG=ja_JP.UTF-8 QT_QPA_PLATFORM=xcb
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
"$build/ponpira" >/dev/null 2>&1 &
game=$!
trap 'kill $game $wm 2>/dev/null || true' EXIT

win=""
for _ in $(seq 50); do
    win=$(xdotool search --onlyvisible --name '^ポンピラ$' 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break
    sleep 0.1
done
[ -n "$win" ] || { echo "screenshots: the main window did not appear" >&2; exit 1; }
sleep 0.5

shot() { # window id, file: the window with its frame
    local frame
    frame=$(xwininfo -id "$1" -children | awk '/Parent window id/ {print $4}')
    if [ -n "$frame" ] && [ "$frame" != "$(xwininfo -root | awk '/Window id/ {print $4}')" ]; then
        import -window "$frame" "$2"
    else
        import -window "$1" "$2"
    fi
}

shot "$win" "$out/form1-start.png"

# The client area's geometry gives the places to click: "タイム" at the menu's left end, its
# first item below it, and the big button in the lower part of the window.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" 20 9 click 1
sleep 0.4
xdotool mousemove --window "$win" 40 32 click 1
sleep 0.3
btn_x=$((WIDTH / 2)); btn_y=$((HEIGHT - 60))
xdotool mousemove --window "$win" "$btn_x" "$btn_y"
xdotool click --repeat 60 --delay 60 1
# The clicks took about 3.6 s; the "３秒前" cue appears at 7 s and "１" at 9 s.
sleep 5.6
shot "$win" "$out/form1-cue.png"
echo "screenshots written to $out"
