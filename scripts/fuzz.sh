#!/usr/bin/env bash
# Bounded fuzzing runs of the line remover and the command-line cut, side by
# side, after replaying every saved crash input. Usage: fuzz.sh [SECONDS_EACH]
# Without SECONDS each target makes a fixed number of runs: at least as many
# as 10 seconds gave it on an idle machine of this project's kind, so that a
# busy machine takes longer rather than fuzzing less.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A runs=([line_remover]=9000 [command_line_tail]=650000)
seconds=${1:-}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One target: its saved crash inputs, then the bounded run; a new crash input
# is kept as a regression case.
fuzz() {
    local target=$1 fuzzer=build/fuzz/tests/fuzz/${1}_fuzz bound
    local regressions=(tests/fuzz/regressions/${target}-*)
    if [ -e "${regressions[0]}" ]; then
        "$fuzzer" "${regressions[@]}" >"$work/$target-regressions.log" 2>&1 ||
            { tail -30 "$work/$target-regressions.log"; return 1; }
    fi
    mkdir "$work/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    bound=-runs=${runs[$target]}
    [ -n "$seconds" ] && bound=-max_total_time=$seconds
    if ! "$fuzzer" "$bound" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
        tail -40 "$work/$target.log"
        echo "fuzz $target: crash input kept as tests/fuzz/regressions/$target-<hash>; make it a regression case"
        for crash in "$work/$target"-crash-* "$work/$target"-leak-* "$work/$target"-timeout-*; do
            [ -e "$crash" ] && cp "$crash" "tests/fuzz/regressions/$target-$(basename "$crash" | sed 's/.*-//')"
        done
        return 1
    fi
    echo "fuzz $target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/$target.log" || echo "ran"), no fault"
}
status=0
fuzz line_remover >"$work/line_remover.out" 2>&1 & first=$!
fuzz command_line_tail >"$work/command_line_tail.out" 2>&1 || status=1
wait "$first" || status=1
cat "$work/line_remover.out" "$work/command_line_tail.out"
exit "$status"
