#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every benchmark of clicks, clock and cost in one command, against the game and against the
# toolkit's floor (a bare Qt Widgets program built beside it), on a virtual X server of its own.
# Builds what it needs in build-bench/, prints one table (median, minimum and maximum over the
# runs, and the game's median against the floor's) and keeps the raw numbers in the log folder
# it names. Nothing here fails for being slow.
#
#   bench/run.sh [--runs N] [--quick]
#
#   --runs N   runs of each click, key, game-length and start-up figure (default 3; start-up 10)
#   --quick    one run of each and only the 10-second game: checks that everything works
#
# Needs Xvfb and xdotool (Debian: xvfb, xdotool), libxtst-dev and libxdamage-dev to build the
# senders and watchers, and valgrind for the instruction counts. It takes about 25 minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PONPIRA_BENCH_BUILD:-$here/build-bench}
runs=3 startupRuns=10 demoRuns=10 lengths=10,20,30 quick=0
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; startupRuns=$2; shift ;;
        --quick) quick=1 runs=1 startupRuns=2 demoRuns=2 lengths=10 ;;
        *) echo "usage: bench/run.sh [--runs N] [--quick]" >&2; exit 2 ;;
    esac
    shift
done

loadBefore=$(cut -d" " -f1-3 /proc/loadavg)
for tool in Xvfb xdotool valgrind cmake ninja python3; do
    command -v "$tool" >/dev/null || { echo "bench/run.sh: $tool is missing" >&2; exit 1; }
done

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Two jobs at most: the machine is small and often shared.
ninja -C "$build" -j2 ponpira bench_floor bench_xclick bench_clicks bench_startup bench_clock \
    bench_click_cost >/dev/null
bin=$build/bench

out=$(mktemp -d "${TMPDIR:-/tmp}/ponpira-bench.XXXXXX")
results=$out/results.tsv
log=$out/log.txt
: >"$results"

# A virtual X server of our own; -displayfd picks a free display number without races.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb=$!
spinner=
cleanup() {
    [ -n "$spinner" ] && kill "$spinner" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "bench/run.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$out/display") QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR=$out/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

step() { echo "== $*" >&2; }
record() { # runs a benchmark, keeping its lines in the log and its RESULT lines for the table
    "$@" 2>>"$log" | tee -a "$log" | grep '^RESULT' | cut -f2- >>"$results" || true
}

step "start-up and memory ($startupRuns runs each, side by side)"
record "$bin/bench_startup" --runs "$startupRuns" game="$build/ponpira" floor="$bin/bench_floor"

step "clicks through the X server"
record "$bin/bench_clicks" --runs "$runs" --sender xtest --clicks 200 --length 10
record "$bin/bench_clicks" --runs "$runs" --sender xtest --clicks 1000 --length 10
record "$bin/bench_clicks" --runs "$runs" --sender xtest --clicks 1000 --length 10 --period-us 1000
record "$bin/bench_clicks" --runs "$runs" --sender xtest --clicks 20000 --length 30
record "$bin/bench_clicks" --runs "$runs" --sender xdotool --clicks 200 --length 10
record "$bin/bench_clicks" --runs "$runs" --sender xdotool --clicks 1000 --length 10

step "Space on the focused button"
record "$bin/bench_clicks" --runs "$runs" --keys 100 --hold-ms 1500
record "$bin/bench_clicks" --runs "$runs" --keys 100 --hold-ms 1500 --key-delay-ms 0
# The same with the remedy for what the two lines above show: the X server told not to turn a
# held key into release-press pairs, and then Qt's same-millisecond guess not trusted.
record "$bin/bench_clicks" --runs "$runs" --keys 100 --hold-ms 1500 --detectable-autorepeat 1
record "$bin/bench_clicks" --runs "$runs" --keys 100 --hold-ms 1500 --key-delay-ms 0 \
    --detectable-autorepeat 1 --trust-key-releases 1

clock() { # label: the game's and the floor's clocks run side by side, in two processes
    "$bin/bench_clock" --subject game --demo-runs "$demoRuns" --game-runs "$runs" \
        --lengths "$lengths" --label "$1" >"$out/clock-game.txt" 2>>"$log" &
    local game=$!
    "$bin/bench_clock" --subject floor --demo-runs "$demoRuns" --game-runs "$runs" \
        --lengths "$lengths" --label "$1" >"$out/clock-floor.txt" 2>>"$log" &
    local floor=$!
    wait "$game" "$floor" || true
    for f in "$out/clock-game.txt" "$out/clock-floor.txt"; do
        tee -a "$log" <"$f" | grep '^RESULT' | cut -f2- >>"$results" || true
    done
}
step "Enter held on the focused button"
# Through a whole 10-second game at the X server's default repeat: more than 20 a second posts
# the result with the trick's wording.
record "$bin/bench_clicks" --runs "$runs" --enter-hold-ms 10500 --repeat 660,25

step "clock, idle"
clock idle
step "clock, with the other core busy"
sh -c 'while :; do :; done' &
spinner=$!
clock "other core busy"
kill "$spinner"
spinner=

step "instructions per click (callgrind, offscreen)"
clicks=200
for subject in game floor; do
    QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --collect-atstart=no \
        --callgrind-out-file="$out/cg.$subject" "$bin/bench_click_cost" --subject "$subject" \
        --clicks "$clicks" >>"$log" 2>&1 || true
    for f in "$out/cg.$subject".*; do
        what=$(sed -n 's/^desc: Trigger: Client Request: //p' "$f")
        total=$(awk '/^(summary|totals):/ {print $2; exit}' "$f")
        [ -n "$what" ] && [ -n "$total" ] || continue
        printf 'instructions per click, %s (callgrind, offscreen)\t%s\t%s\n' "$what" "$subject" \
            "$(awk -v t="$total" -v n="$clicks" 'BEGIN {printf "%.0f", t / n}')" >>"$results"
    done
done

# Start-up in instructions, which the load of a shared machine does not change: each program
# runs under callgrind on the X display until it has long been idle, then is stopped.
step "start-up in instructions (callgrind)"
for subject in game floor; do
    program=$build/ponpira
    [ "$subject" = floor ] && program=$bin/bench_floor
    timeout -s TERM 30 valgrind --tool=callgrind --callgrind-out-file="$out/start.$subject" \
        "$program" >>"$log" 2>&1 || true
    total=$(awk '/^(summary|totals):/ {print $2; exit}' "$out/start.$subject" 2>/dev/null || true)
    [ -n "$total" ] && printf 'start-up to idle, millions of instructions (callgrind)\t%s\t%s\n' \
        "$subject" "$(awk -v t="$total" 'BEGIN {printf "%.1f", t / 1e6}')" >>"$results"
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo
echo "Machine: $(nproc) cores ($cpu), $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo);" \
    "$(uname -sr); Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6); Xvfb; load average before the run: $loadBefore, after: $(cut -d" " -f1-3 /proc/loadavg)"
python3 "$here/bench/table.py" "$results"
echo
echo "Raw numbers and each run's lines: $out"
