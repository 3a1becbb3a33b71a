#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's screenshots of the real program under Xvfb with a window manager, driving
# it with xdotool as a player would, and of the board page in headless Chromium. Rerun after a
# visual change:
#   scripts/screenshots.sh [BUILD-DIR]
# Needs xvfb, xauth, xdotool, x11-utils, openbox, imagemagick, curl and chromium.
#
# Every picture is taken at each scale in PONPIRA_SHOT_SCALES (default "1 2"): at 1 as NAME.png,
# at 1.5 as NAME-150.png, at 2 as NAME-200.png, in PONPIRA_SHOT_DIR (default docs/screenshots).
# The virtual screen grows with the scale, as a real high-density screen would, so that the
# windows' fixed places stay on it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${PONPIRA_BUILD_DIR:-$here/build}}" && pwd)
out=${PONPIRA_SHOT_DIR:-$here/docs/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

suffix() { # scale -> file name suffix
    case $1 in
    1) echo "" ;;
    *) echo "-$(awk -v s="$1" 'BEGIN { printf "%d", s * 100 }')" ;;
    esac
}

if [ -z "${SCREENSHOT_SCALE:-}" ]; then
    for tool in xvfb-run xauth xdotool xwininfo openbox import convert curl chromium; do
        command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
    done
    [ -x "$build/ponpira" ] || { echo "screenshots: no $build/ponpira; build first" >&2; exit 1; }
    for scale in ${PONPIRA_SHOT_SCALES:-1 2}; do
        w=$(awk -v s="$scale" 'BEGIN { printf "%d", 1280 * s }')
        h=$(awk -v s="$scale" 'BEGIN { printf "%d", 800 * s }')
        SCREENSHOT_SCALE=$scale xvfb-run -a -s "-screen 0 ${w}x${h}x24 -dpi 96 -nolisten tcp" \
            "$0" "$build"
    done
    exit 0
fi

scale=$SCREENSHOT_SCALE
sfx=$(suffix "$scale")
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale
unset QT_AUTO_SCREEN_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

pids=()
tmp=$(mktemp -d)
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT

openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$build/ponpira" >/dev/null 2>&1 &
pids+=($!)

# Points on the window in 100% pixels, scaled: the window grows with the scale.
at() { awk -v x="$1" -v y="$2" -v s="$scale" 'BEGIN { printf "%d %d", x * s, y * s }'; }
click_at() { # window, x, y (100% pixels)
    # shellcheck disable=SC2046 # two numbers
    xdotool mousemove --window "$1" $(at "$2" "$3") click 1
}
wait_window() { # title pattern -> window id; up to 5 s
    local id=""
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "screenshots: no window titled $1 appeared" >&2
    return 1
}
wait_gone() { # window id; up to 5 s
    for _ in $(seq 50); do
        xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
        sleep 0.1
    done
}
frame_of() { # window id -> the window manager's frame around it, or the window itself
    local frame root
    frame=$(xwininfo -id "$1" -children | awk '/Parent window id/ {print $4}')
    root=$(xwininfo -root | awk '/Window id/ {print $4}')
    if [ -n "$frame" ] && [ "$frame" != "$root" ]; then echo "$frame"; else echo "$1"; fi
}
shot() { # window id, name: the window with its frame
    sleep 0.4
    import -window "$(frame_of "$1")" "$out/$2$sfx.png"
}
box_of() { # window id -> x y width height of its frame on the screen
    xwininfo -id "$(frame_of "$1")" |
        awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
             /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
shot_both() { # two window ids, name: the screen around both frames
    local x1 y1 w1 h1 x2 y2 w2 h2 left top right bottom
    sleep 0.4
    read -r x1 y1 w1 h1 < <(box_of "$1")
    read -r x2 y2 w2 h2 < <(box_of "$2")
    left=$((x1 < x2 ? x1 : x2)); top=$((y1 < y2 ? y1 : y2))
    right=$((x1 + w1 > x2 + w2 ? x1 + w1 : x2 + w2))
    bottom=$((y1 + h1 > y2 + h2 ? y1 + h1 : y2 + h2))
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        "$out/$3$sfx.png"
}

form1=$(wait_window '^ポンピラ$')
shot "$form1" form1-start

# The menu's places: "タイム" and its first item "１０秒", then the button's middle.
click_at "$form1" 20 9
sleep 0.4
click_at "$form1" 40 32
sleep 0.3
click_at "$form1" 173 186
start=$(date +%s.%N)
xdotool click --repeat 59 --delay 50 1
# The "１" cue shows from the ninth second after the first click to the tenth.
pause=$(awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { p = s + 9.4 - n; print (p > 0 ? p : 0) }')
sleep "$pause"
shot "$form1" form1-cue

box=$(wait_window '^結果( — ポンピラ)?$')
shot_both "$form1" "$box" form1-end
# The box is modal and has the focus: Enter presses its OK.
xdotool key Return
wait_gone "$box"

# "結果送信", then the form filled in as a player would, from the name down to the password
# (the password box comes after "送信" in the tab order).
click_at "$form1" 183 9
form2=$(wait_window '^結果送信( — ポンピラ)?$')
xdotool windowactivate --sync "$form2" 2>/dev/null || true
sleep 0.3
xdotool type --delay 40 'たろう'
xdotool key Tab
xdotool type --delay 20 'taro@example.jp'
xdotool key Tab
xdotool type --delay 20 'http://example.jp/'
xdotool key Tab
xdotool type --delay 40 'がんばりました'
xdotool key Tab Tab
xdotool type --delay 20 'pass'
shot "$form2" form2
# "キャンセル" hides it again.
click_at "$form2" 224 364
wait_gone "$form2"

click_at "$form1" 265 9
about=$(wait_window 'ﾊﾞｰｼﾞｮﾝ情報( — ポンピラ)?$')
shot "$about" about
xdotool key Return
wait_gone "$about"

# The board page with two posts, as the browser shows it after "送信".
board_db=$tmp/board.sqlite3
"$build/board/ponpira-board" --port 0 --db "$board_db" >"$tmp/board.out" 2>&1 &
pids+=($!)
port=""
for _ in $(seq 50); do
    port=$(sed -n 's|^listening on http://[^:]*:\([0-9]*\)/.*|\1|p' "$tmp/board.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "screenshots: the board did not start" >&2; exit 1; }
page=http://127.0.0.1:$port/home/velmora/cgi-bin/aska/aska.cgi
post() { # name, comment, password
    curl -fsS -o /dev/null -G "$page" --data-urlencode mode=regist --data-urlencode "name=$1" \
        --data-urlencode email= --data-urlencode sub=結果 --data-urlencode "comment=$2" \
        --data-urlencode url= --data-urlencode "pwd=$3" --data-urlencode cook=on
}
post はなこ '私は10秒で58回クリックできました。指がつりそうです' hana
post たろう '私は10秒で61回クリックできました。がんばりました' pass
timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --hide-scrollbars --force-device-scale-factor="$scale" --user-data-dir="$tmp/chromium" \
    --screenshot="$out/board$sfx.png" --window-size=800,420 "$page" >/dev/null 2>&1
echo "screenshots at ${scale}x written to $out"
