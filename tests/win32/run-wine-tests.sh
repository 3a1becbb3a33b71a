#!/bin/sh
# SPDX-License-Identifier: MIT
# Cross-builds the Win32 tests and the core's rules tests, runs them under Wine (code page 932);
# 77: a tool is missing.
#   run-wine-tests.sh <source dir> <build dir> [Qt include dirs, ';'-separated]
set -u
src=$1
build=$2
skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}
cxx=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++) ||
    skip "no MinGW-w64 C++ compiler (package g++-mingw-w64-x86-64-posix)"
WINE=${WINE:-$(command -v wine64 || command -v wine || ls /usr/lib/wine/wine64 2>/dev/null)} ||
    skip "no wine64 (package wine64)"
WINESERVER=${WINESERVER:-$(command -v wineserver || ls /usr/lib/wine/wineserver64 2>/dev/null)} ||
    skip "no wineserver (package wine64)"
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] ||
    skip "no GoogleTest sources in /usr/src/googletest (package googletest)"
locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8' ||
    skip "the ja_JP.UTF-8 locale is not generated (Wine takes code page 932 from it)"

# shellcheck disable=SC2046 # no generator, or "-G" and "Ninja"
timeout 300 cmake -S "$src/tests/win32/mingw" -B "$build" $(command -v ninja >/dev/null && echo -G Ninja) \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/tests/win32/mingw/toolchain.cmake" >"$build.log" 2>&1 ||
    { cat "$build.log"; fail "configuring the MinGW build"; }
timeout 600 cmake --build "$build" --parallel 2 || fail "building the Win32 tests"
includes=
for dir in $(echo "${3:-}" | tr ';' ' '); do
    # The host's own system headers and mkspecs would shadow MinGW's.
    case $dir in /usr/include | /usr/local/include | */mkspecs/*) ;; *) includes="$includes -I$dir" ;; esac
done
for file in platform/win32/win32platform.cpp platform/qt/qtplatform.cpp; do
    # shellcheck disable=SC2086 # the host's Qt headers carry Linux export attributes
    [ -z "$includes" ] || timeout 300 "$cxx" -fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic \
        -Werror -Wno-attributes -DQT_NO_KEYWORDS -I"$src" $includes "$src/$file" ||
        fail "$file does not compile for Windows"
done

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
trap 'timeout 30 "$WINESERVER" -k >/dev/null 2>&1' EXIT
rm -rf "$WINEPREFIX"
timeout 300 "$WINE" wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log"; fail "wineboot did not finish"; }
timeout 120 "$WINESERVER" -w
# No display: Wine's null driver. Under load "wine reg add" now and then fails; a retry does not.
for try in 1 2 3; do
    timeout 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        >/dev/null 2>&1 && break
    sleep "$try"
done
timeout 300 "$WINE" "$build/test_winapi.exe" || fail "test_winapi.exe failed or did not finish"
timeout 300 "$WINE" "$build/test_rules.exe" --gtest_brief=1 ||
    fail "test_rules.exe (the game's rules) failed or did not finish"
rm -rf "$WINEPREFIX"
echo "Win32 tests passed under $("$WINE" --version 2>/dev/null)"
