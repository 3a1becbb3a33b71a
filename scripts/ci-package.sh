#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: what a user installs. Stages `cmake --install` and checks the desktop entry, the AppStream
# metainfo and the icons; builds the Debian package with CPack, has lintian check it (any error
# or warning fails), installs it with apt-get, has scripts/ci-board.sh check the installed
# board, starts the installed game on a virtual X server until its window shows. Then, as an
# operator and two local users would: both users post to the board of the machine and neither
# reaches the other's own board; README's hosting example (nginx with a self-signed
# certificate, the Unix socket, the operator key as a credential) takes a post from the game
# over https and 60 page views at once; and the package goes through upgrade (the same package
# with a higher version), remove and purge, its maintainer scripts starting, restarting and
# stopping the units, leaving no board running and the posts in place. systemd does not run
# here: its sockets are stood in for by systemd-socket-activate, the services' users by
# accounts of the test, and the maintainer scripts' calls to systemd are recorded in a mount
# namespace that has /run/systemd/system. Runs as root; works on the build folder that
# scripts/test made (build/, or $PONPIRA_BUILD_DIR).
set -euo pipefail
source "$(dirname "$0")/setup.sh"

app_id=io.github.ponpira.Ponpira

ensure_packages desktop-file-utils appstream dpkg-dev file xvfb xauth xdotool lintian nginx openssl \
    python3 util-linux systemd curl
[ -f "$build/CMakeCache.txt" ] || { echo "ci-package: no build in $build; run scripts/test" >&2; exit 1; }
# The package installs under /usr, and the programs and units must be built for the same place.
cmake -DCMAKE_INSTALL_PREFIX=/usr "$build" >/dev/null
cmake --build "$build" -- -j"$(nproc)" >/dev/null

[ "$(id -u)" -eq 0 ] || { echo "ci-package: run as root: it installs the package and adds users" >&2; exit 1; }

work=$(mktemp -d)
chmod 755 "$work" # apt's download user, the test's users and nginx read from here
installed=""
pids=()
users=(ponpira-ci-a ponpira-ci-b ponpira-ci-board)
made_state=()
hosts_line="127.0.0.1 board.example.jp # ponpira-ci"
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$installed" ]; then
        env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq ponpira >/dev/null || true
    fi
    sed -i "/# ponpira-ci\$/d" /etc/hosts
    for u in "${users[@]}"; do # the test's own accounts: whatever they still run is the test's
        id "$u" >/dev/null 2>&1 || continue
        pkill -KILL -u "$u" || true
        sleep 0.2
        userdel -r "$u" >/dev/null 2>&1 || true
    done
    [ ${#made_state[@]} -eq 0 ] || rm -rf "${made_state[@]}"
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

# The package's maintainer scripts, run where systemd seems to run (a mount namespace of their
# own with /run/systemd/system), so that their calls to systemd are seen: a stand-in
# deb-systemd-invoke records them.
mkdir "$work/shim"
printf '#!/bin/sh\necho "deb-systemd-invoke $*" >>%s\n' "$work/calls" >"$work/shim/deb-systemd-invoke"
chmod +x "$work/shim/deb-systemd-invoke"
apt_seen() { # apt-get ARGS... in that namespace; the calls to systemd are left in $work/calls
    : >"$work/calls"
    unshare -m bash -c 'mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system &&
        DEBIAN_FRONTEND=noninteractive exec apt-get -y -qq -o DPkg::Path="$0:/usr/sbin:/usr/bin:/sbin:/bin" "$@"' \
        "$work/shim" "$@" >/dev/null
}
expect_calls() { # the calls of the last apt_seen, one a line
    diff <(printf '%s\n' "$@") "$work/calls" >&2 ||
        { echo "ci-package: the maintainer scripts called systemd otherwise (above)" >&2; exit 1; }
}
enabled() { # the unit's enablement, read from the links as systemctl reads them without systemd
    systemctl is-enabled "$1" 2>/dev/null || true
}
for state in /var/lib/ponpira /var/lib/ponpira-board /var/log/nginx/ponpira-board.log /etc/ponpira-board \
    /run/ponpira-board; do
    [ -e "$state" ] || made_state+=("$state")
done

apt_seen install "$deb"
installed=1
expect_calls "deb-systemd-invoke start ponpira-board.socket"
[ "$(enabled ponpira-board.socket)" = enabled ] && [ "$(enabled ponpira-board-public.socket)" = disabled ] ||
    { echo "ci-package: after installation the machine's board socket should be enabled, the public one not" >&2; exit 1; }
if dpkg -L ponpira | grep -q '\.wants/'; then
    echo "ci-package: the package ships an enablement link" >&2; exit 1
fi
echo "installed: the machine's board socket enabled and started by the maintainer scripts"
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

driver=$build/tests/e2e/e2e_post
opener=$here/tests/e2e
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
posts() { # DATABASE [N]: the number of posts, once it is N (waiting up to 30 s: the browser posts on its own)
    python3 -c 'import sqlite3,sys,time
for _ in range(150):
    n = sqlite3.connect(sys.argv[1]).execute("select count(*) from posts").fetchone()[0]
    if len(sys.argv) < 3 or n == int(sys.argv[2]): break
    time.sleep(0.2)
print(n)' "$@"
}
as_user() { # USER COMMAND...: with the user's own home and nothing of root's environment
    local user=$1
    shift
    runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/games \
        HOME="$(getent passwd "$user" | cut -d: -f6)" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$@"
}
wait_for() { # SOCKET-OR-PORT: up to 10 s for a Unix socket to appear or a loopback port to listen
    for _ in $(seq 100); do
        if [[ $1 == /* ]]; then
            [ -S "$1" ] && return 0
        elif (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "ci-package: nothing at $1" >&2
    exit 1
}
# A service's command line from its installed unit, run as USER the way systemd runs it for its
# socket (the unit's dynamic user is this test's system account); more options may follow.
service_as() { # UNIT USER: writes $work/UNIT.run
    local exec_start
    exec_start=$(sed -n 's/^ExecStart=//p' "/usr/lib/systemd/system/$1")
    printf '#!/bin/sh\nexec setpriv --reuid=%s --regid=%s --init-groups %s "$@"\n' "$2" "$2" \
        "$exec_start" >"$work/$1.run"
    chmod 755 "$work/$1.run"
}
for u in "${users[@]}"; do
    if [ "$u" = ponpira-ci-board ]; then useradd --system --no-create-home "$u"; else useradd -m "$u"; fi
done

echo "== two local users"
# The machine's board: systemd (root) holds 127.0.0.1:8931 and the service keeps the posts in
# /var/lib/ponpira, the service's alone. Here the socket is on a free port.
install -d -m 0700 -o ponpira-ci-board -g ponpira-ci-board /var/lib/ponpira
service_as ponpira-board.service ponpira-ci-board
port=$(free_port)
systemd-socket-activate --listen="127.0.0.1:$port" "$work/ponpira-board.service.run" >"$work/machine.log" 2>&1 &
pids+=($!)
wait_for "$port"
for u in ponpira-ci-a ponpira-ci-b; do
    as_user "$u" PONPIRA_BOARD_HOST="127.0.0.1:$port" timeout 300 "$driver" existing - "$opener" >/dev/null
    sleep 11 # the same text from the same address within ten seconds is stored once
done
[ "$(posts /var/lib/ponpira/board.sqlite3 2)" = 2 ] ||
    { echo "ci-package: the machine's board does not hold both users' posts" >&2; cat "$work/machine.log" >&2; exit 1; }
for u in ponpira-ci-a ponpira-ci-b; do
    if as_user "$u" cat /var/lib/ponpira/board.sqlite3 >/dev/null 2>&1; then
        echo "ci-package: $u can read the machine's board's database" >&2
        exit 1
    fi
done
kill "${pids[-1]}"
echo "both users posted to the machine's board; neither can read its database"
# Without systemd: a's game starts a's own board (its posts in a's home, closed to others);
# b's game finds a's program on the address and posts nothing to it.
as_user ponpira-ci-a timeout 300 "$driver" fallback /usr/bin/ponpira-board "$opener"
port=$(free_port)
# (setpriv, not runuser, so that the process to end is the board itself)
setpriv --reuid=ponpira-ci-a --regid=ponpira-ci-a --init-groups env -i HOME=/home/ponpira-ci-a \
    /usr/bin/ponpira-board --port "$port" >/dev/null 2>&1 &
pids+=($!)
wait_for "$port"
as_user ponpira-ci-b PONPIRA_BOARD_HOST="127.0.0.1:$port" timeout 300 "$driver" foreign - "$opener"
a_posts=/home/ponpira-ci-a/.local/share/ponpira
[ "$(posts "$a_posts/board.sqlite3")" = 0 ] || { echo "ci-package: b's post reached a's board" >&2; exit 1; }
if as_user ponpira-ci-b ls "$a_posts" >/dev/null 2>&1; then
    echo "ci-package: b can read a's posts folder" >&2
    exit 1
fi
kill "${pids[-1]}"
echo "without systemd: a's game posts to a's own board; b's game refuses to post to a's"

echo "== README's hosting example, over TLS"
readme_block() { # LANGUAGE: README's fenced blocks of it in the hosting section
    sed -n '/^## Hosting a board for others/,/^## [^H]/p' "$here/README.md" |
        sed -n "/^\`\`\`$1\$/,/^\`\`\`\$/p" | grep -v '^```'
}
# The operator's key, made and placed by README's commands.
keep_key=""
[ -e /etc/ponpira-board/operator-key ] && keep_key=1
if [ -z "$keep_key" ]; then
    readme_block sh | grep -F /etc/ponpira-board | grep -v "^#\|systemctl\| cat " | sed 's/^sudo //;s/| sudo /| /g' >"$work/key.sh"
    sh -e "$work/key.sh"
fi
[ "$(stat -c '%a %U' /etc/ponpira-board/operator-key)" = "600 root" ] ||
    { echo "ci-package: README's operator key is not root's with mode 0600" >&2; exit 1; }
key_length=$(tr -d '\n' </etc/ponpira-board/operator-key | wc -c)
[ "$key_length" -ge 16 ] && [ "$key_length" -le 32 ] ||
    { echo "ci-package: README's operator key has $key_length characters" >&2; exit 1; }
# What LoadCredential= does: a copy only the service may read, in $CREDENTIALS_DIRECTORY.
install -d -m 0500 -o ponpira-ci-board "$work/credentials"
install -m 0400 -o ponpira-ci-board /etc/ponpira-board/operator-key "$work/credentials/operator-key"
install -d -m 0700 -o ponpira-ci-board -g ponpira-ci-board /var/lib/ponpira-board
service_as ponpira-board-public.service ponpira-ci-board
unit=/usr/lib/systemd/system/ponpira-board-public.socket
socket=$(sed -n 's/^ListenStream=//p' "$unit")
install -d -m 0755 "$(dirname "$socket")"
rm -f "$socket"
systemd-socket-activate --listen="$socket" --setenv=CREDENTIALS_DIRECTORY="$work/credentials" \
    --setenv=PONPIRA_BOARD_OPTIONS="--host board.example.jp" \
    "$work/ponpira-board-public.service.run" >"$work/public.log" 2>&1 &
pids+=($!)
wait_for "$socket"
chgrp "$(sed -n 's/^SocketGroup=//p' "$unit")" "$socket"
chmod "$(sed -n 's/^SocketMode=//p' "$unit")" "$socket"
# nginx with README's server block, a self-signed certificate in place of the example's.
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=board.example.jp \
    -addext subjectAltName=DNS:board.example.jp -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
chmod 644 "$work/key.pem"
readme_block nginx | sed -e "s|^\( *ssl_certificate \+\).*|\1$work/cert.pem;|" \
    -e "s|^\( *ssl_certificate_key \+\).*|\1$work/key.pem;|" >"$work/site.conf"
cat >"$work/nginx.conf" <<NGINX
user www-data;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 512; }
http {
    access_log $work/nginx-access.log;
    client_body_temp_path $work/nginx-body;
    proxy_temp_path $work/nginx-proxy;
    include $work/site.conf;
}
NGINX
nginx -t -q -c "$work/nginx.conf"
nginx -c "$work/nginx.conf"
pids+=("$(cat "$work/nginx.pid")")
grep -q '# ponpira-ci$' /etc/hosts || echo "$hosts_line" >>/etc/hosts
export CURL_CA_BUNDLE=$work/cert.pem # the stand-in browser trusts the certificate
PONPIRA_BOARD_HOST=https://board.example.jp timeout 300 "$driver" existing /var/lib/ponpira-board/board.sqlite3 "$opener" ||
    { echo "ci-package: the board's log:" >&2; cat "$work/public.log" >&2; exit 1; }
page=https://board.example.jp/home/velmora/cgi-bin/aska/aska.cgi
curl -sS --fail "$page" | grep -q '私は10秒で85回クリックできました。' ||
    { echo "ci-package: the post is not on the page through nginx" >&2; exit 1; }
codes=$(seq 60 | xargs -P 60 -I{} curl -s -o /dev/null -w '%{http_code}\n' --max-time 60 "$page" | sort | uniq -c)
# Reported, and the run failed, at the end: the package's own cycle is checked all the same.
views_failed=""
[ "$(echo "$codes" | awk '$2 != 200 { n += $1 } END { print n + 0 }')" = 0 ] || views_failed=1
if grep -q 'pwd=' /var/log/nginx/ponpira-board.log; then
    echo "ci-package: nginx logged a deletion key" >&2
    exit 1
fi
kill -QUIT "$(cat "$work/nginx.pid")"
kill "${pids[-2]}"
sed -i '/# ponpira-ci$/d' /etc/hosts
echo "the game posted over https through nginx and the Unix socket; 60 page views at once:" $codes

echo "== upgrade, remove, purge"
# The same package with a higher version, as a rebuilt package would come.
dpkg-deb -R "$deb" "$work/next"
version=$(sed -n 's/^Version: //p' "$work/next/DEBIAN/control")
sed -i "s/^Version: .*/Version: ${version%-*}-$((${version##*-} + 1))/" "$work/next/DEBIAN/control"
dpkg-deb -b --root-owner-group "$work/next" "$work/next.deb" >/dev/null
apt_seen install "$work/next.deb"
installed=1
expect_calls "deb-systemd-invoke restart ponpira-board.socket" \
    "deb-systemd-invoke try-restart ponpira-board.service ponpira-board-public.socket ponpira-board-public.service"
[ "$(enabled ponpira-board.socket)" = enabled ] || { echo "ci-package: the upgrade disabled the socket" >&2; exit 1; }
apt_seen remove ponpira
expect_calls "deb-systemd-invoke stop ponpira-board.socket ponpira-board.service ponpira-board-public.socket ponpira-board-public.service"
[ ! -e /usr/games/ponpira ] || { echo "ci-package: /usr/games/ponpira is left after removal" >&2; exit 1; }
for exe in /proc/[0-9]*/exe; do
    case $(readlink "$exe" 2>/dev/null) in /usr/bin/ponpira-board*)
        echo "ci-package: a board still runs from the removed package: ${exe%/exe}" >&2
        exit 1
        ;;
    esac
done
apt_seen purge ponpira
installed=""
for unit in ponpira-board.socket ponpira-board-public.socket ponpira-board-public.service; do
    [ -z "$(find /etc/systemd/system -name "$unit" 2>/dev/null)" ] ||
        { echo "ci-package: purge left a link or mask of $unit" >&2; exit 1; }
done
[ "$(posts /var/lib/ponpira/board.sqlite3)" = 2 ] && [ "$(posts /var/lib/ponpira-board/board.sqlite3)" = 1 ] ||
    { echo "ci-package: the posts did not survive upgrade, removal and purge" >&2; exit 1; }
echo "upgraded (units restarted), removed (units stopped, no board running), purged (links gone, posts kept)"
if [ -n "$views_failed" ]; then
    echo "ci-package: 60 page views at once through nginx got (count, status):" $codes >&2
    exit 1
fi
