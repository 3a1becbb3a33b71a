#!/bin/sh
# SPDX-License-Identifier: MIT
# ponpira-<version>-setup.exe under Wine in a fresh prefix: installed silently for the user
# (/CurrentUser, as an ordinary user gets it) and for everyone (elevated, Wine's default), the
# Start-menu shortcut and the uninstall entry checked, the program started from the shortcut
# and ended, uninstalled silently: nothing left but the player's settings. 77: a tool is
# missing. Wine's null display driver: no X server needed.
#   run-installer-test.sh <source dir> <build dir>
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
command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
    skip "no MinGW-w64 C++ compiler (package g++-mingw-w64-x86-64-posix)"
command -v makensis >/dev/null || skip "no makensis (package nsis)"
PATH=/usr/lib/wine:$PATH
command -v wine64 >/dev/null || skip "no wine64 (package wine64)"
locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8' ||
    skip "the ja_JP.UTF-8 locale is not generated (Wine takes code page 932 from it)"

# shellcheck disable=SC2046 # no generator, or "-G" and "Ninja"
timeout 300 cmake -S "$src/win32app" -B "$build" $(command -v ninja >/dev/null && echo -G Ninja) \
    -DCMAKE_BUILD_TYPE=Release -DPONPIRA_WIN32_PROBE=ON \
    -DCMAKE_TOOLCHAIN_FILE="$src/tests/win32/mingw/toolchain.cmake" >"$build.log" 2>&1 ||
    { cat "$build.log"; fail "configuring the Windows program"; }
timeout 900 cmake --build "$build" --parallel 2 --target installer probe ||
    fail "building the installer"
setup=$(ls "$build"/ponpira-*-setup.exe) || fail "no installer was made"
version=$(basename "$setup" | sed 's/ponpira-\(.*\)-setup.exe/\1/')

export WINEPREFIX="$build/prefix-setup" WINEARCH=win64 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" PONPIRA_LOG="$build/installed.log"
unset DISPLAY WAYLAND_DISPLAY
trap 'timeout 30 wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
rm -rf "$WINEPREFIX"
timeout 300 wine64 wineboot --init >"$build/wineboot.log" 2>&1 ||
    { cat "$build/wineboot.log"; fail "wineboot did not finish"; }
timeout 120 wineserver -w
for try in 1 2 3; do
    timeout 60 wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 &&
        break
    sleep "$try"
done
drive=$WINEPREFIX/drive_c
user=$drive/users/$(id -un)
settings=$user/AppData/Roaming/ponpira
mkdir -p "$settings"
echo '[board]' >"$settings/ponpira.ini"

# reg prints in the console's code page, 932.
value() { timeout 60 wine64 reg query "$1" /v "$2" 2>/dev/null | iconv -f CP932 -t UTF-8 | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }

# One cycle: install with the options given, check, start, end, uninstall, check again.
cycle() {
    options=$1 folder=$2 menu=$3 root=$4
    echo "== setup /S $options"
    key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ponpira"
    # shellcheck disable=SC2086 # the options, word by word
    timeout 300 wine64 "$setup" /S $options || fail "the installer failed"
    timeout 120 wineserver -w
    [ -f "$folder/ponpira.exe" ] || fail "no ponpira.exe in $folder"
    [ -f "$folder/uninstall.exe" ] || fail "no uninstall.exe in $folder"
    lnk="$menu/ポンピラ.lnk"
    [ -f "$lnk" ] || fail "no Start-menu shortcut $lnk"
    tr -d '\000' <"$lnk" | grep -q 'ponpira\.exe' || fail "the shortcut does not start ponpira.exe"
    [ "$(value "$key" DisplayVersion)" = "$version" ] ||
        fail "the uninstall entry's version: $(value "$key" DisplayVersion)"
    [ "$(value "$key" Publisher)" = "The ポンピラ developers" ] ||
        fail "the uninstall entry's publisher: $(value "$key" Publisher)"
    [ "$(value "$key" DisplayName)" = "ポンピラ" ] || fail "the uninstall entry's name"

    rm -f "$PONPIRA_LOG"
    timeout 60 wine64 start "$(winepath -w "$lnk")" >/dev/null 2>&1 ||
        fail "the shortcut did not start"
    i=0
    until grep -q ready "$PONPIRA_LOG" 2>/dev/null; do
        i=$((i + 1))
        [ "$i" -le 300 ] || fail "the installed program did not start"
        sleep 0.2
    done
    timeout 60 wine64 "$build/probe.exe" close ポンピラ || fail "no main window"
    timeout 120 wineserver -w
    grep -q end "$PONPIRA_LOG" || fail "the installed program did not end on its close box"

    uninstaller=$(winepath -w "$folder/uninstall.exe")
    timeout 300 wine64 "$folder/uninstall.exe" /S || fail "the uninstaller failed ($uninstaller)"
    timeout 120 wineserver -w
    [ ! -e "$folder" ] || fail "$folder is still there: $(ls "$folder")"
    [ ! -e "$lnk" ] || fail "the shortcut is still there"
    timeout 60 wine64 reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is still there"
    [ -f "$settings/ponpira.ini" ] || fail "uninstalling removed the player's settings"
}

cycle /CurrentUser "$user/AppData/Local/Programs/ポンピラ" \
    "$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" HKCU
cycle "" "$drive/Program Files/ポンピラ" "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs" HKLM
echo "The installer passed under $(wine64 --version 2>/dev/null)"
