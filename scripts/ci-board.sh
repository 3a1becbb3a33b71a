#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CI: the installed package's board, as a machine gets it. Checks its systemd units with
# systemd-analyze (both services hardened), then posts end to end from the real result window
# to the installed ponpira-board twice: started through its socket the way the machine's
# socket unit starts it (systemd-socket-activate with the service's own command line), and
# started by the game itself when nothing answers. Run by ci-package.sh while the package is
# installed; needs the test build ($PONPIRA_BUILD_DIR or build/) for the e2e_post driver.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

ensure_packages systemd curl
units=/usr/lib/systemd/system
for f in ponpira-board.socket ponpira-board.service ponpira-board-public.socket ponpira-board-public.service; do
    [ -e "$units/$f" ] || { echo "ci-board: $units/$f is not installed" >&2; exit 1; }
done

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
check() { # systemd-analyze prints what is wrong and may still exit 0: any output fails
    local said
    said=$("$@" 2>&1) || { echo "$said" >&2; exit 1; }
    [ -z "$said" ] || { echo "ci-board: $*:" >&2; echo "$said" >&2; exit 1; }
}
check systemd-analyze verify --man=no "$units"/ponpira-board{,-public}.{socket,service}
for service in ponpira-board.service ponpira-board-public.service; do
    exposure=$(systemd-analyze security --offline=true "$units/$service" 2>&1 |
        sed -n 's/.*exposure level for .*: \([0-9.]*\) .*/\1/p')
    echo "systemd units: verified; $service's exposure level is $exposure"
    awk -v e="$exposure" 'BEGIN { exit !(e != "" && e + 0 <= 2.0) }' ||
        { echo "ci-board: $service is exposed more than 2.0" >&2; exit 1; }
done

# The machine service's own command line, with the test's database added.
exec_start=$(sed -n 's/^ExecStart=//p' "$units/ponpira-board.service")
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
