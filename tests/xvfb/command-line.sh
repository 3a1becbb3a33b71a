#!/bin/sh
# SPDX-License-Identifier: MIT
# The game takes no command line: Qt's own options must not reach Qt. Told "-platform offscreen"
# (and -reverse, -style), it still opens its window on the X display. Run by under-xvfb.sh.
#   command-line.sh PONPIRA
command -v xdotool >/dev/null 2>&1 || { echo "skipped: xdotool is not installed"; exit 77; }
env -u QT_QPA_PLATFORM "$1" -platform offscreen -reverse -style windows >/dev/null 2>&1 &
game=$!
for _ in $(seq 300); do
    if xdotool search --onlyvisible --name '^ポンピラ$' >/dev/null 2>&1; then
        kill "$game"
        exit 0
    fi
    kill -0 "$game" 2>/dev/null || { echo "the game ended without opening its window"; exit 1; }
    sleep 0.1
done
kill "$game"
echo "no window on the X display within 30 s: the game obeyed Qt's -platform option"
exit 1
