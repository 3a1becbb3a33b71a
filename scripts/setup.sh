# SPDX-License-Identifier: MIT
# Shared by scripts/play and scripts/test: installs what is missing, then configures and builds.
# Sourced, not run. Every step is skipped when there is nothing to do, so a second run is quick.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${PONPIRA_BUILD_DIR:-$here/build}"

# What the game and its board need to build and run.
play_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libx11-dev fonts-ipafont-gothic fonts-liberation2
               libmicrohttpd-dev libsystemd-dev libsqlite3-dev libssl-dev curl)
# What the tests need on top: a virtual X server, clicks, an HTTP client, and the Windows
# cross-compiler and Wine for the Windows layer.
test_packages=(libcpp-httplib-dev systemd xvfb xauth xdotool x11-utils python3 locales libgtest-dev googletest libxtst-dev
               clang libclang-rt-14-dev valgrind libxdamage-dev
               g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine nsis)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"
    elif command -v sudo >/dev/null; then sudo "$@"
    else echo "ponpira: need root (or sudo) to install: $*" >&2; return 1; fi
}

ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "ponpira: installing ${missing[*]}" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

ensure_japanese_locale() {
    # Wine takes its ANSI code page (932) from the locale.
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
    as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
}

configure_and_build() {
    if [ ! -f "$build/build.ninja" ]; then
        # shellcheck disable=SC2086 # PONPIRA_CMAKE_ARGS is a list of options
        cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            ${PONPIRA_CMAKE_ARGS:-} >/dev/null
    fi
    cmake --build "$build" -- -j"$(nproc)"
}
