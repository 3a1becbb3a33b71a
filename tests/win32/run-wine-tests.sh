#!/bin/sh
# Cross-compiles the Qt-free Win32 layer and its tests with MinGW-w64, then runs them under
# Wine in a fresh, headless prefix whose ANSI code page is 932, with registry values set by
# "wine reg add". Exits 77 (skipped) where a tool is missing, saying which.
#   run-wine-tests.sh <source dir> <build dir> [Qt include dirs, ';'-separated]
# With the host's Qt headers given, the Qt side of the Win32 layer is also compiled for
# Windows (syntax only: there is no Qt for Windows here to link against).
set -u
src=$1
build=$2
qt_includes=${3:-}

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}

command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 ||
    command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 ||
    skip "no MinGW-w64 C++ compiler (package g++-mingw-w64-x86-64-posix)"

WINE=${WINE:-}
if [ -z "$WINE" ]; then
    for candidate in wine64 /usr/lib/wine/wine64 /usr/lib64/wine/wine64 wine; do
        if command -v "$candidate" >/dev/null 2>&1; then
            WINE=$(command -v "$candidate")
            break
        fi
    done
fi
[ -n "$WINE" ] || skip "no wine64 (package wine64)"
WINESERVER=${WINESERVER:-}
if [ -z "$WINESERVER" ]; then
    for candidate in wineserver64 wineserver /usr/lib/wine/wineserver64 \
        /usr/lib/wine/wineserver; do
        if command -v "$candidate" >/dev/null 2>&1; then
            WINESERVER=$(command -v "$candidate")
            break
        fi
    done
fi
[ -n "$WINESERVER" ] || skip "no wineserver (package wine64)"
locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8' ||
    skip "the ja_JP.UTF-8 locale is not generated (Wine takes code page 932 from it)"

# Wine's input method lives in its X11 driver: run the rest on a virtual X display where one
# can be had. Without it the null driver still lets windows exist, and the test checks less.
# PONPIRA_WINE_XVFB=no forces the latter.
if [ -z "${PONPIRA_WINE_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1 &&
    command -v xauth >/dev/null 2>&1; then
    PONPIRA_WINE_XVFB=1 exec xvfb-run -a -s "-nolisten tcp" sh "$0" "$@"
fi
on_xvfb() { [ "${PONPIRA_WINE_XVFB:-}" = 1 ]; }

# --- build -------------------------------------------------------------------------------
generator=
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
# shellcheck disable=SC2086
timeout 300 cmake -S "$src/tests/win32/mingw" -B "$build" $generator \
    -DCMAKE_TOOLCHAIN_FILE="$src/tests/win32/mingw/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; fail "configuring the MinGW build"; }
timeout 600 cmake --build "$build" --parallel 2 || fail "building the Win32 tests"

if [ -n "$qt_includes" ]; then
    cxx=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++)
    set -f
    old_ifs=$IFS
    IFS=';'
    # shellcheck disable=SC2086
    set -- $qt_includes
    IFS=$old_ifs
    set +f
    includes=
    for dir in "$@"; do
        # The host's own system headers and mkspecs would shadow MinGW's.
        case $dir in
        /usr/include | /usr/local/include | */mkspecs/*) ;;
        *) includes="$includes -I$dir" ;;
        esac
    done
    for file in platform/win32/win32platform.cpp platform/qt/qtplatform.cpp; do
        # The host's headers carry Linux export attributes; only those warnings are let go.
        # shellcheck disable=SC2086
        timeout 300 "$cxx" -fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror \
            -Wno-attributes -DQT_NO_KEYWORDS -I"$src" $includes "$src/$file" ||
            fail "$file does not compile for Windows"
    done
fi

# --- a fresh, quiet, headless prefix ------------------------------------------------------
WINEPREFIX="$build/wineprefix"
WINEARCH=win64
WINEDEBUG=-all
# No Mono or Gecko install dialogs, and no menu entries on the host's desktop.
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
LC_ALL=ja_JP.UTF-8
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES LC_ALL
# Nothing may appear on a developer's desktop: only the virtual display, if any.
on_xvfb || unset DISPLAY
unset WAYLAND_DISPLAY

stop_wine() {
    timeout 30 "$WINESERVER" -k >/dev/null 2>&1
    return 0
}
trap stop_wine EXIT
rm -rf "$WINEPREFIX"
timeout 300 "$WINE" wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log"; fail "wineboot did not finish"; }
timeout 120 "$WINESERVER" -w

# --- registry values ----------------------------------------------------------------------
add() {
    timeout 60 "$WINE" reg add "$@" /f >/dev/null 2>&1 || fail "wine reg add $1 /v $3"
}
# Without a display the null graphics driver still lets the input-method test make a window.
if ! on_xvfb; then
    add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null
fi
repeat() { # repeat <text> <count>
    i=0
    out=
    while [ "$i" -lt "$2" ]; do
        out="$out$1"
        i=$((i + 1))
    done
    printf '%s' "$out"
}

key='HKLM\SOFTWARE\Ponpira Test'
add "$key" /v Tool /t REG_SZ \
    /d 'C:\Program Files\Common Files\Microsoft Shared\MSInfo\msinfo32.exe'
add "$key" /v Japanese /t REG_SZ /d 'C:\ツール\ｼｽﾃﾑ情報'
add "$key" /v 'パス' /t REG_SZ /d '名前も日本語'
add "$key" /v Empty /t REG_SZ /d ''
add "$key" /v Exact /t REG_SZ /d "$(repeat x 1023)"
add "$key" /v KanjiFits /t REG_SZ /d "$(repeat 字 511)"
add "$key" /v TooLong /t REG_SZ /d "$(repeat x 1024)"
add "$key" /v KanjiTooLong /t REG_SZ /d "$(repeat 字 512)"
add "$key" /v Number /t REG_DWORD /d 0x12345678
add "$key" /v One /t REG_DWORD /d 1
add "$key" /v Binary /t REG_BINARY /d 414243
add "$key" /v Expand /t REG_EXPAND_SZ /d 'C:\Windows\msinfo32.exe'
add "$key" /v NoBytes /t REG_BINARY /d ''
# Where the system information tool is recorded: its path, with a program at a shorter prefix
# of it that an unquoted start would run instead, and its folder.
add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /t REG_SZ \
    /d 'C:\ponpira test\Program Files\MSInfo\msinfo32.exe'
add 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /v MSINFO /t REG_SZ \
    /d 'C:\ponpira test\Program Files\MSInfo'

# --- run ----------------------------------------------------------------------------------
timeout 300 "$WINE" "$build/test_winapi.exe"
status=$?
# Only the low byte of the exit code comes through; the test itself returns 0 or 1.
case $status in
0) ;;
124) fail "test_winapi.exe did not finish in time" ;;
*) fail "test_winapi.exe exited with $status" ;;
esac
timeout 60 "$WINESERVER" -w
rm -rf "$WINEPREFIX"
echo "Win32 tests passed under $("$WINE" --version 2>/dev/null)"
