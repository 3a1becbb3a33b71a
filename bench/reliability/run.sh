#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The reliability figures in one command: the board under kills, a full disk, a read-only
# database, slow clients and bad requests, and the fuzzers for a longer time than CI gives
# them. Prints each step's figures and ends with the list of steps that failed (none, one
# hopes); exits non-zero if any did.
#
#   bench/reliability/run.sh [--quick]
#
#   --quick   shorter runs of everything, to check that the steps work
#
# Builds in build-reliability/ (PONPIRA_RELIABILITY_BUILD changes it). Needs python3,
# and for the fuzzers clang and libclang-rt-14-dev. Run as root for the full-disk (tmpfs) and
# read-only (chattr) faults; without root the first uses a file size limit and the second is
# left out. Takes about 30 minutes; --quick about 3.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${PONPIRA_RELIABILITY_BUILD:-$here/build-reliability}
kills=20 bad=2000 fuzzSeconds=300
if [ "${1:-}" = --quick ]; then
    kills=3 bad=100 fuzzSeconds=10
fi
failed=()
step() { echo; echo "== $1"; }

step "build ($build)"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
cmake --build "$build" --target ponpira-board -- -j2 >/dev/null || exit 1

step "the board under faults"
python3 "$here/bench/reliability/board_faults.py" "$build/board/ponpira-board" \
    --kills "$kills" --bad "$bad" || failed+=(board-faults)

step "fuzzing, $fuzzSeconds s per target"
PONPIRA_FUZZ_SECONDS=$fuzzSeconds PONPIRA_FUZZ_DIR="$build/fuzz" "$here/scripts/ci-fuzz.sh" ||
    failed+=(fuzz)

echo
if [ ${#failed[@]} -eq 0 ]; then
    echo "reliability: every step passed"
else
    echo "reliability: FAILED: ${failed[*]}"
    exit 1
fi
