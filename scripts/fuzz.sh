#!/usr/bin/env bash
# Short bounded fuzzing runs of the line remover and the command-line cut,
# after replaying every saved crash input. Usage: fuzz.sh [SECONDS_EACH]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in line_remover command_line_tail; do
    fuzzer=build/fuzz/tests/fuzz/${target}_fuzz
    regressions=(tests/fuzz/regressions/${target}-*)
    if [ -e "${regressions[0]}" ]; then
        "$fuzzer" "${regressions[@]}" >"$work/$target-regressions.log" 2>&1 ||
            { tail -30 "$work/$target-regressions.log"; exit 1; }
    fi
    mkdir "$work/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    if ! "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
        tail -40 "$work/$target.log"
        echo "fuzz $target: crash input kept as tests/fuzz/regressions/$target-<hash>; make it a regression case"
        for crash in "$work/$target"-crash-* "$work/$target"-leak-* "$work/$target"-timeout-*; do
            [ -e "$crash" ] && cp "$crash" "tests/fuzz/regressions/$target-$(basename "$crash" | sed 's/.*-//')"
        done
        exit 1
    fi
    echo "fuzz $target: $(grep -o 'Done [0-9]* runs' "$work/$target.log" || echo "ran") in ${seconds}s, no fault"
done
