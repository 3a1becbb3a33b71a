#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: the installed package's board, as a player's desktop gets it. Checks its systemd units with
# systemd-analyze, then posts end to end from the real result window to the installed
# ponpira-board twice: started through its socket the way the user unit starts it
# (systemd-socket-activate with the unit's own command line), and started by the game itself
# when nothing answers. Run by ci-package.sh while the package is installed; needs the test
# build ($PONPIRA_BUILD_DIR or build/) for the e2e_post driver.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

ensure_packages systemd curl
user_units=/usr/lib/systemd/user
system_unit=$(find /lib/systemd/system /usr/lib/systemd/system -name ponpira-board-public.service 2>/dev/null | head -n1)
for f in "$user_units/ponpira-board.socket" "$user_units/ponpira-board.service" \
    "$user_units/sockets.target.wants/ponpira-board.socket" "$system_unit"; do
    [ -e "$f" ] || { echo "ci-board: ${f:-the system unit} is not installed" >&2; exit 1; }
done

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
check() { # systemd-analyze prints what is wrong and may still exit 0: any output fails
    local said
    said=$("$@" 2>&1) || { echo "$said" >&2; exit 1; }
    [ -z "$said" ] || { echo "ci-board: $*:" >&2; echo "$said" >&2; exit 1; }
}
XDG_RUNTIME_DIR=$runtime check systemd-analyze --user verify --man=no \
    "$user_units/ponpira-board.socket" "$user_units/ponpira-board.service"
check systemd-analyze verify --man=no "$system_unit"
exposure=$(systemd-analyze security --offline=true "$system_unit" 2>&1 | sed -n 's/.*exposure level for .*: \([0-9.]*\) .*/\1/p')
echo "systemd units: verified; the system service's exposure level is $exposure"
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e + 0 <= 2.0) }' ||
    { echo "ci-board: the system service is exposed more than 2.0" >&2; exit 1; }

# The user service's own command line, with the test's database added.
exec_start=$(sed -n 's/^ExecStart=//p' "$user_units/ponpira-board.service")
cat >"$runtime/board" <<EOF
#!/bin/sh
exec $exec_start "\$@"
EOF
chmod +x "$runtime/board"

driver=$build/tests/e2e/e2e_post
[ -x "$driver" ] || { echo "ci-board: no $driver; run scripts/test first" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
timeout 300 "$driver" activate "$runtime/board" "$here/tests/e2e"
echo "socket-activated installed board: the post was read back field by field"
# Found on PATH in /usr/bin, as the game finds an installed board.
timeout 300 "$driver" fallback /usr/bin/ponpira-board "$here/tests/e2e"
echo "installed board started by the game: the post was read back field by field"
