#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a test program on a virtual X server of its own; exit code 77 (skipped) without one.
for tool in xvfb-run xauth; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (Debian packages xvfb and xauth)"
        exit 77
    fi
done
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
