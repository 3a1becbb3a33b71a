#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a command on an X server of its own: Xvfb picks a free display itself and tells us
# (-displayfd), so two test runs on one machine never race for a number. 77: no Xvfb, skipped.
#   under-xvfb.sh COMMAND [ARG...]
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "skipped: Xvfb is not installed (Debian package xvfb)"
    exit 77
fi
dir=$(mktemp -d) || exit 1
mkfifo "$dir/display" || exit 1
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
xvfb=$!
# Xvfb writes the number once it accepts clients; if it dies first, the read ends empty.
read -r number <"$dir/display"
if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$dir/log" >&2
    rm -rf "$dir"
    exit 1
fi
DISPLAY=:$number "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$dir"
exit $status
