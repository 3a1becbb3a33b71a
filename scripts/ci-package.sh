#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: what a user installs. Stages `cmake --install` and checks the desktop entry, the AppStream
# metainfo and the icons; builds the Debian package with CPack, has lintian check it (any error
# or warning fails), installs it with apt-get, has scripts/ci-board.sh check the installed
# board, starts the installed game on a virtual X server until its window shows, and removes the
# package again. Works on the build folder that scripts/test made (build/, or
# $PONPIRA_BUILD_DIR).
set -euo pipefail
source "$(dirname "$0")/setup.sh"

app_id=io.github.ponpira.Ponpira

ensure_packages desktop-file-utils appstream dpkg-dev file xvfb xauth xdotool lintian
[ -f "$build/CMakeCache.txt" ] || { echo "ci-package: no build in $build; run scripts/test" >&2; exit 1; }
# The package installs under /usr, and the programs and units must be built for the same place.
cmake -DCMAKE_INSTALL_PREFIX=/usr "$build" >/dev/null
cmake --build "$build" -- -j"$(nproc)" >/dev/null

work=$(mktemp -d)
chmod 755 "$work" # apt's download user reads the package from here
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq ponpira >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== cmake --install, staged"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
share=$work/stage/usr/share
for f in "$work/stage/usr/games/ponpira" "$share/applications/$app_id.desktop" \
    "$share/metainfo/$app_id.metainfo.xml" "$share/icons/hicolor/scalable/apps/$app_id.svg" \
    "$share/man/man6/ponpira.6.gz" "$share/man/man1/ponpira-board.1.gz" \
    "$share/doc/ponpira/copyright" "$share/doc/ponpira/changelog.Debian.gz"; do
    [ -f "$f" ] || { echo "ci-package: ${f#"$work/stage"} was not installed" >&2; exit 1; }
done
desktop-file-validate "$share/applications/$app_id.desktop"
appstreamcli validate --no-net --explain "$share/metainfo/$app_id.metainfo.xml"
for size in 16 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/$app_id.png
    file -b "$icon" | grep -q "PNG image data, $size x $size," ||
        { echo "ci-package: ${icon#"$work/stage"} is not a $size x $size PNG" >&2; exit 1; }
done
file -b "$share/icons/hicolor/scalable/apps/$app_id.svg" | grep -q SVG ||
    { echo "ci-package: the scalable icon is not an SVG" >&2; exit 1; }
echo "desktop entry, metainfo and icons: fine"

echo "== the Debian package"
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(find "$work/deb" -maxdepth 1 -name 'ponpira_*.deb' | head -n1)
[ -n "$deb" ] || { echo "ci-package: CPack made no package" >&2; exit 1; }
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
for dep in libqt6widgets6 qt6-qpa-plugins 'fonts-ipafont-gothic | fonts-noto-cjk'; do
    dpkg-deb -f "$deb" Depends | grep -qF "$dep" ||
        { echo "ci-package: the package does not depend on $dep" >&2; exit 1; }
done
# Debian's own checks of a binary package: any error or warning fails the run. An exception
# goes in packaging/lintian-overrides, each with a one-line reason.
lintian --fail-on error,warning "$deb"
echo "lintian: no errors or warnings"

as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
installed=1
[ -x /usr/games/ponpira ] || { echo "ci-package: the game is not in /usr/games" >&2; exit 1; }
/usr/bin/ponpira-board --help >/dev/null
if [ -x "$(dirname "$0")/ci-board.sh" ]; then
    "$(dirname "$0")/ci-board.sh"
fi
# A desktop session's PATH has /usr/games (Debian's /etc/profile adds it); root's has not.
exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
[ "$(PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games; command -v "$exec_line")" = /usr/games/ponpira ] ||
    { echo "ci-package: the desktop entry's Exec=$exec_line does not find /usr/games/ponpira" >&2; exit 1; }

# The installed game, as the desktop entry starts it, until its window is on the screen.
PATH=$PATH:/usr/games LANG=ja_JP.UTF-8 timeout 60 "$(dirname "$0")/../tests/xvfb/under-xvfb.sh" bash -c '
    QT_QPA_PLATFORM=xcb ponpira >/dev/null 2>&1 &
    game=$!
    for _ in $(seq 100); do
        if xdotool search --onlyvisible --name "^ポンピラ$" >/dev/null 2>&1; then
            kill "$game"
            echo "the installed game opened its window"
            exit 0
        fi
        kill -0 "$game" 2>/dev/null || { echo "ci-package: the installed game stopped" >&2; exit 1; }
        sleep 0.1
    done
    kill "$game"
    echo "ci-package: no window of the installed game within 10 s" >&2
    exit 1'

as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq ponpira >/dev/null
installed=""
[ ! -e /usr/games/ponpira ] || { echo "ci-package: /usr/games/ponpira is left after removal" >&2; exit 1; }
echo "installed, started and removed: fine"
