#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the local bulletin board (ponpira-board) in the background, so that the game's
# "送信" has a board to land on.
#
# Usage: scripts/board-run.sh [PATH-TO-ponpira-board]
#
# Listens on 127.0.0.1:8931 (PONPIRA_BOARD_PORT changes the port) and keeps its posts in
# ${XDG_DATA_HOME:-$HOME/.local/share}/ponpira/board.sqlite3, its log beside them.
# Once the board answers, prints its pid on standard output: stop it with `kill PID`.
# If something already answers on that address, starts nothing and prints nothing.
# The program is the argument, else $PONPIRA_BOARD, else build/board/ponpira-board of this
# source tree, else ponpira-board on the PATH.
set -euo pipefail

address=127.0.0.1
port=${PONPIRA_BOARD_PORT:-8931}
data_dir=${XDG_DATA_HOME:-$HOME/.local/share}/ponpira
db=$data_dir/board.sqlite3
log=$data_dir/board.log

answers() {
    # shellcheck disable=SC2016 # the inner shell expands $1 and $2
    timeout 2 bash -c 'exec 3<>"/dev/tcp/$1/$2"' _ "$address" "$port" 2>/dev/null
}

exe=${1:-${PONPIRA_BOARD:-}}
if [[ -z $exe ]]; then
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    if [[ -x $root/build/board/ponpira-board ]]; then
        exe=$root/build/board/ponpira-board
    else
        exe=$(command -v ponpira-board || true)
    fi
fi
if [[ -z $exe || ! -x $exe ]]; then
    echo "board-run: ponpira-board not found; build it or pass its path" >&2
    exit 1
fi

if answers; then
    echo "board-run: something already answers on $address:$port; starting nothing" >&2
    exit 0
fi

# The posts carry e-mail addresses and deletion keys: the folder is the developer's alone.
mkdir -p "$data_dir"
chmod 700 "$data_dir"
# Standard output goes to the log, not to whoever reads this script's output (a $(...) would
# otherwise wait for the server to end).
nohup "$exe" --address "$address" --port "$port" --db "$db" >>"$log" 2>&1 </dev/null &
pid=$!

# Up to 10 seconds for the first answer.
for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "board-run: ponpira-board stopped at start; the end of $log:" >&2
        tail -n 5 "$log" >&2
        exit 1
    fi
    if answers; then
        echo "$pid"
        exit 0
    fi
    sleep 0.1
done
echo "board-run: ponpira-board (pid $pid) did not answer on $address:$port; stopping it" >&2
kill "$pid" 2>/dev/null || true
exit 1
