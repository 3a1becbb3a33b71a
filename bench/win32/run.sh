#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows program's clock and start-up under Wine, on an X server of its own, with real
# input from xdotool; figures for docs/performance.md. Nothing fails for being slow.
#   bench/win32/run.sh [build dir]     (default build-bench-windows/)
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-bench-windows}
if [ "${PONPIRA_BENCH_INNER:-}" != 1 ]; then
    # shellcheck disable=SC2046
    cmake -S "$here/win32app" -B "$build" $(command -v ninja >/dev/null && echo -G Ninja) \
        -DCMAKE_BUILD_TYPE=Release -DPONPIRA_WIN32_PROBE=ON -DPONPIRA_WIN32_BENCH=ON \
        -DCMAKE_TOOLCHAIN_FILE="$here/tests/win32/mingw/toolchain.cmake" >/dev/null
    cmake --build "$build" --parallel 2 --target ponpira probe bench_clock >/dev/null
    PONPIRA_BENCH_INNER=1 exec sh "$here/tests/xvfb/under-xvfb.sh" sh "$0" "$build"
fi
PATH=/usr/lib/wine:$PATH
export WINEPREFIX="$build/prefix" WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
rm -rf "$WINEPREFIX"
wine64 wineboot --init >/dev/null 2>&1
wineserver -w
probe() { wine64 "$build/probe.exe" "$@"; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1000 }'; }
at() { grep " $1\$" "$log" | head -n 1 | cut -d' ' -f1; }

echo "== the clock alone (bench_clock, 5 runs of the demo's two timers, 10 s each)"
wine64 "$build/bench_clock.exe" 5

# Starts the program with a fresh log; prints launch-to-window and entry-to-window in ms.
start() {
    log=$build/bench-$1.log
    rm -f "$log"
    t0=$(date +%s%N)
    PONPIRA_LOG=$log wine64 "$build/ponpira.exe" >/dev/null 2>&1 &
    until grep -q ready "$log" 2>/dev/null; do sleep 0.005; done
    t1=$(date +%s%N)
    echo "$(((t1 - t0) / 1000000)) $(ms "$(at start)" "$(at ready)")"
}
point() {
    # shellcheck disable=SC2046
    xdotool mousemove $(probe at ポンピラ "$1")
}
menu() {
    point 203
    xdotool click 1
    # shellcheck disable=SC2046,SC2086 # the keys, word by word
    xdotool key --delay 150 F10 $(i=0; while [ "$i" -lt "$1" ]; do echo Right; i=$((i + 1)); done) \
        ${2:-} Return
}
finish() {
    probe box 結果 60 | grep -o 'あなたは.*' | tr -d '\n'
    xdotool key Return
    probe gone 結果 10 >/dev/null
}

echo "== start-up: launch (wine64 included) to the window shown, and WinMain to shown, ms"
for i in 1 2 3 4 5; do
    start "start$i"
    probe close ポンピラ
    wineserver -w
done

echo "== games: first click to the end message, late by (ms)"
start games >/dev/null
for length in 0:10 0:20 0:30; do
    menu 0 "Down $(test "${length#*:}" -ge 20 && echo Down) $(test "${length#*:}" -ge 30 && echo Down)"
    before=$(grep -c ' press$' "$log" || true)
    point 201
    xdotool click 1
    message=$(finish)
    first=$(grep ' press$' "$log" | sed -n "$((before + 1))p" | cut -d' ' -f1)
    end=$(grep ' message 結果' "$log" | tail -n 1 | cut -d' ' -f1)
    echo "${length#*:} s: $(ms "$((first + ${length#*:} * 1000000))" "$end") ms late; $message"
done

echo "== the demo, 10 runs: clicks counted"
for i in 1 2 3 4 5 6 7 8 9 10; do
    menu 0 Down
    menu 2
    finish
    echo
done

echo "== 1,000 clicks sent in a 30-second game (xdotool, 2 ms apart)"
menu 0 "Down Down Down"
point 201
xdotool click --repeat 1000 --delay 2 1
finish
echo
probe close ポンピラ
