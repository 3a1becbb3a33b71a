#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows program under Wine on an X server of its own, played through real input
# (xdotool): a 10-second game clicked on the big button, Enter and Space on it, the demo, the
# result window filled and sent to a stand-in browser, the About window and its Alt+S. The
# windows are read back by a small probe (their texts, as the program shows them) and the
# program's log. 77: a tool is missing.
#   run-wine-game.sh <source dir> <build dir>
set -u
src=$1
build=$2
skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    echo "Windows shown: $(timeout 60 wine64 "$build/probe.exe" list - 2>/dev/null | tr '\n' '|')"
    [ -f "$build/game.log" ] && tail -n 20 "$build/game.log"
    exit 1
}

if [ "${PONPIRA_GAME_INNER:-}" != 1 ]; then
    command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
        skip "no MinGW-w64 C++ compiler (package g++-mingw-w64-x86-64-posix)"
    command -v xdotool >/dev/null || skip "no xdotool (package xdotool)"
    [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || skip "no wine64 (package wine64)"
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8' ||
        skip "the ja_JP.UTF-8 locale is not generated (Wine takes code page 932 from it)"
    # shellcheck disable=SC2046 # no generator, or "-G" and "Ninja"
    timeout 300 cmake -S "$src/win32app" -B "$build" $(command -v ninja >/dev/null && echo -G Ninja) \
        -DCMAKE_BUILD_TYPE=Release -DPONPIRA_WIN32_PROBE=ON \
        -DCMAKE_TOOLCHAIN_FILE="$src/tests/win32/mingw/toolchain.cmake" >"$build.log" 2>&1 ||
        { cat "$build.log"; fail "configuring the Windows program"; }
    timeout 900 cmake --build "$build" --parallel 2 --target ponpira probe ||
        fail "building the Windows program"
    PONPIRA_GAME_INNER=1 exec sh "$src/tests/xvfb/under-xvfb.sh" sh "$0" "$@"
fi

PATH=/usr/lib/wine:$PATH
export WINEPREFIX="$build/prefix" WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" PONPIRA_LOG="$build/game.log"
program=
trap 'timeout 30 wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
probe() { timeout 60 wine64 "$build/probe.exe" "$@"; }
# Keys and clicks go to the window under the pointer: there is no window manager.
point() {
    at=$(probe at "$1" "$2") || fail "no control $2 in $1"
    # shellcheck disable=SC2086 # "x y"
    xdotool mousemove $at
}
# The menu bar from the keyboard: F10, then Right to the item; Down opens "タイム". A click
# on the label "秒" makes the main window the active one first.
menu() {
    point ポンピラ 203
    xdotool click 1
    # shellcheck disable=SC2046,SC2086 # the keys, word by word
    xdotool key --delay 150 F10 $(i=0; while [ "$i" -lt "$1" ]; do echo Right; i=$((i + 1)); done) \
        ${2:-} Return
}
text() { probe texts "$1" | awk -F '\t' -v id="$2" '$1 == id { print $2 }'; }
# Input is handled after xdotool returns: a control's text is awaited, for 10 s at most.
expect() {
    i=0
    until [ "$(text "$1" "$2")" = "$3" ]; do
        i=$((i + 1))
        [ "$i" -le 50 ] || fail "$4: $(text "$1" "$2")"
        sleep 0.2
    done
}
result() {
    box=$(probe box 結果 "${2:-30}") || fail "no end message for $1"
    echo "$box" | grep -q "$1" || fail "the end message reads: $box; wanted $1"
    xdotool key Return
    probe gone 結果 10 || fail "the end message did not close on Enter"
}

rm -rf "$WINEPREFIX" "$build/game.log" "$build/urls.txt"
timeout 300 wine64 wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log"; fail "wineboot did not finish"; }
timeout 120 wineserver -w
# The stand-in browser records what the shell hands it; the system information tool is
# registered where nothing is.
opener="$(winepath -w "$build/probe.exe")"
urls="$(winepath -w "$build/urls.txt")"
# Under load "wine reg add" now and then fails; a retry does not.
reg_add() {
    for try in 1 2 3; do
        timeout 60 wine64 reg add "$@" /f >/dev/null 2>&1 && return 0
        sleep "$try"
    done
    return 1
}
reg_add 'HKCR\http\shell\open\command' /ve /d "\"$opener\" record \"$urls\" %1" ||
    fail "registering the stand-in browser"
reg_add 'HKCR\https\shell\open\command' /ve /d "\"$opener\" record \"$urls\" %1" ||
    fail "registering the stand-in browser"
reg_add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /d 'C:\nowhere\MSINFO32.EXE' ||
    fail "registering the tool"
settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/ponpira"
mkdir -p "$settings"
# A loopback board where nothing answers.
printf '[board]\nhost=http://127.0.0.1:9\n' >"$settings/ponpira.ini"

wine64 "$build/ponpira.exe" >"$build/program.log" 2>&1 &
program=$!
i=0
until grep -q ready "$build/game.log" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -le 300 ] || fail "the program did not start"
    sleep 0.2
done

echo "== a 10-second game, 57 clicks"
menu 0 Down
expect ポンピラ 202 10 "１０秒 did not set the seconds"
point ポンピラ 201
xdotool click --repeat 57 --delay 80 1
result あなたは10秒で57回クリックすることができました。
# The seconds run from the first click on: 4.5 s of clicking saw them tick. (A timer started
# again by every click would not tick until the clicks stopped.)
ticks=$(awk '/ press$/ { pressed = 1 } / click 57$/ { print n + 0; exit } pressed && / tick1$/ { n++ }' \
    "$build/game.log")
[ "${ticks:-0}" -ge 1 ] || fail "no second was counted while the clicks came"


echo "== Enter held, Space tapped and held"
menu 1
expect ポンピラ 201 連打しましょう "リセット did not reset the button"
point ポンピラ 201
xdotool keydown Return
sleep 1.5
xdotool keyup Return
held=$(text ポンピラ 204)
[ "${held:-0}" -ge 5 ] || fail "Enter held 1.5 s clicked ${held:-0} times; it repeats on a Windows button"
xdotool key --delay 200 space space space
xdotool keydown space
sleep 1.5
xdotool keyup space
sleep 0.5
[ "$(text ポンピラ 204)" = $((held + 4)) ] ||
    fail "3 Space taps and one held made $(($(text ポンピラ 204) - held)) clicks, not 4"
result "回クリックすることができました。"

echo "== DEMO"
menu 0 Down
menu 2
box=$(probe box 結果 30) || fail "the demo did not end"
demo=$(echo "$box" | sed -n 's/.*あなたは10秒で\([0-9]*\)回.*/\1/p')
[ "$demo" = 124 ] || [ "$demo" = 125 ] || fail "the demo clicked ${demo:-?} times, not 124 or 125: $box"
xdotool key Return
probe gone 結果 10 || fail "the demo's message did not close"

echo "== 結果送信: no board answering, then a named one"
menu 3
probe wait 結果送信 20 >/dev/null || fail "結果送信 did not open its window"
point 結果送信 303
xdotool click 1
xdotool type --delay 50 taro
xdotool key --delay 100 Tab Tab Tab
xdotool type --delay 50 gg
xdotool key --delay 100 Tab Tab
xdotool type --delay 50 pw
[ "$(probe texts 結果送信 | awk -F '\t' '$1 == 307 { print $3 }')" = "*" ] ||
    fail "the password box does not show * for what is typed"
# Neither button is the default or the cancel button: Enter sends nothing, Esc hides nothing.
xdotool key --delay 100 Return Escape
point 結果送信 301
xdotool click 1
box=$(probe box ポンピラ 20) || fail "no message for a board that does not answer"
[ "$(grep -c ' message ポンピラ: ' "$build/game.log")" = 1 ] || fail "Enter in the result window sent"
echo "$box" | grep -q 127.0.0.1:9 || fail "the message does not name the board: $box"
xdotool key Return
sleep 0.5
expect 結果送信 303 taro "the name typed was lost"
printf '[board]\nhost=https://board.example.jp\n' >"$settings/ponpira.ini"
point 結果送信 301
xdotool click 1
probe gone 結果送信 20 || fail "送信 did not hide the window"
i=0
until [ -s "$build/urls.txt" ]; do
    i=$((i + 1))
    [ "$i" -le 100 ] || fail "the stand-in browser was not started"
    sleep 0.2
done
want="https://board.example.jp/home/velmora/cgi-bin/aska/demoaska.cgi?mode=regist&name=taro&email=&sub=結果&comment=私は10秒で${demo}回クリックできました。gg&url=&pwd=pw&cook=on"
[ "$(cat "$build/urls.txt")" = "$want" ] || fail "the browser got $(cat "$build/urls.txt"); wanted $want"

echo "== バージョン情報, Alt+S, Esc"
menu 4
box=$(probe wait ポンピラのﾊﾞｰｼﾞｮﾝ情報 20) || fail "バージョン情報 did not open the About window"
echo "$box" | grep -q 'ﾊﾞｰｼﾞｮﾝ 1.2.2' || fail "the About window reads: $box"
point ポンピラのﾊﾞｰｼﾞｮﾝ情報 401
xdotool key alt+s
box=$(probe box ポンピラ 20) || fail "Alt+S did not press ｼｽﾃﾑ情報(&S)..."
echo "$box" | grep -q 現時点ではｼｽﾃﾑ情報を使用できません || fail "Alt+S showed: $box"
xdotool key Return
sleep 0.5
point ポンピラのﾊﾞｰｼﾞｮﾝ情報 401
xdotool key Escape
probe gone ポンピラのﾊﾞｰｼﾞｮﾝ情報 10 || fail "Esc did not close the About window"

echo "== 終了"
menu 5
i=0
while kill -0 "$program" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -le 100 ] || fail "終了 did not end the program"
    sleep 0.2
done
echo "The Windows program passed under $(wine64 --version 2>/dev/null)"
