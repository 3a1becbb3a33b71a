#!/bin/sh
# SPDX-License-Identifier: MIT
# The README's screenshots of the Windows program under Wine, at 100% and 200% (96 and 192
# dots per inch), on an X server of its own: the main window in the last seconds of a game.
# Wine draws the windows' frames itself (no window manager). Rerun after a visual change:
#   scripts/screenshots-windows.sh [build dir]     (default build-windows/, made by scripts/windows)
# Needs xvfb, xdotool, imagemagick and wine64.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build-windows}" && pwd)
out=$here/docs/screenshots
PATH=/usr/lib/wine:$PATH
cmake -S "$here/win32app" -B "$build" -DPONPIRA_WIN32_PROBE=ON >/dev/null
cmake --build "$build" --target ponpira probe >/dev/null
export WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
dir=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$dir"' EXIT
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 2560x2048x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
xvfb=$!
read -r number <"$dir/display"
export DISPLAY=":$number" WINEPREFIX="$dir/prefix"

for scale in 1 2; do
    name=windows-form1$([ "$scale" = 1 ] || echo "-$((scale * 100))")
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    wine64 wineboot --init >/dev/null 2>&1
    wineserver -w
    dpi=$((96 * scale))
    wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wineserver -w
    rm -f "$dir/log"
    PONPIRA_LOG=$dir/log wine64 "$build/ponpira.exe" >/dev/null 2>&1 &
    until grep -q ready "$dir/log" 2>/dev/null; do sleep 0.2; done
    sleep 1
    # shellcheck disable=SC2046
    xdotool mousemove $(wine64 "$build/probe.exe" at ポンピラ 203) click 1
    xdotool key --delay 200 F10 Down Return
    sleep 0.5
    # shellcheck disable=SC2046
    xdotool mousemove $(wine64 "$build/probe.exe" at ポンピラ 201)
    xdotool click --repeat 40 --delay 100 1
    # The cue of the third second before the end.
    until grep -q 'seconds 7$' "$dir/log"; do sleep 0.1; done
    sleep 0.3
    xdotool mousemove 0 0
    window=$(xdotool search --name '^ポンピラ$' | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # shellcheck disable=SC2153 # X, Y, WIDTH and HEIGHT come from xdotool
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$out/$name.png"
    echo "$out/$name.png"
    wine64 "$build/probe.exe" box 結果 20 >/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
done
