#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets in fuzz/ with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each from its seed corpus for a bounded time. A crash,
# a leak, a sanitizer finding or a broken property stops the run and fails it; the input that
# did it is kept under the build folder's crashes/.
#   PONPIRA_FUZZ_SECONDS  time per target (default 60)
#   PONPIRA_FUZZ_DIR      build folder (default build-fuzz)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/setup.sh"
ensure_packages clang libclang-rt-14-dev qt6-base-dev pkg-config

out="${PONPIRA_FUZZ_DIR:-$here/build-fuzz}"
seconds="${PONPIRA_FUZZ_SECONDS:-60}"
mkdir -p "$out"

declare -A sources=(
    [boardurl]="fuzz/boardurl.cpp core/boardurl.cpp core/convert.cpp core/errors.cpp board/form.cpp"
    [form]="fuzz/form.cpp board/form.cpp"
    [regvalue]="fuzz/regvalue.cpp core/regvalue.cpp"
    [convert]="fuzz/convert.cpp core/convert.cpp core/errors.cpp"
)
targets=(boardurl form regvalue convert)
# shellcheck disable=SC2207 # pkg-config prints plain words
qt=($(pkg-config --cflags --libs Qt6Core))
flags=(-std=c++20 -g -O1 -fPIC -Wall -Wextra -Wpedantic -Werror
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
       -I"$here" -DQT_NO_KEYWORDS -DPONPIRA_BOARD_HOST='"127.0.0.1:8931"')

build() {
    local t=$1 src
    local -a files=()
    for src in ${sources[$t]}; do files+=("$here/$src"); done
    clang++ "${flags[@]}" "${files[@]}" "${qt[@]}" -o "$out/fuzz_$t"
}
# Two at a time: the machine is shared.
pids=()
for t in "${targets[@]}"; do
    build "$t" & pids+=($!)
    if [ ${#pids[@]} -ge 2 ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p"; done

total=0
printf '%-10s %12s %8s %s\n' target executions seconds result
for t in "${targets[@]}"; do
    # New inputs go to the build folder; the seeds in the repository stay as they are.
    mkdir -p "$out/corpus/$t" "$out/crashes/$t"
    log="$out/$t.log"
    if "$out/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/crashes/$t/" \
        "$out/corpus/$t" "$here/fuzz/corpus/$t" 2>"$log"; then
        result=ok
    else
        result=FAILED
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    total=$((total + ${execs:-0}))
    printf '%-10s %12s %8s %s\n' "$t" "${execs:-?}" "$seconds" "$result"
    if [ "$result" != ok ]; then
        grep -E 'ERROR|SUMMARY|runtime error|==[0-9]+==' "$log" | head -20 >&2
        echo "ci-fuzz: $t failed; the input is in $out/crashes/$t/, the log in $log" >&2
        exit 1
    fi
done
printf '%-10s %12s\n' total "$total"
