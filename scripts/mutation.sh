#!/usr/bin/env bash
# Mutation testing of the logic (src/ less the Windows implementation, the
# freestanding runtime, the entry and the simulated machine): samples one-line
# mutants with the given seed, builds and runs the unit tests for each in a
# copy of the tree, and prints the kill ratio and the survivors. Slow (ten
# minutes or more), so not part of the test command.
#   scripts/mutation.sh SEED [COUNT]     a sample of COUNT mutants (170)
#   scripts/mutation.sh SEED --all       every mutant
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: scripts/mutation.sh SEED [COUNT | --all]" >&2; exit 2; }
./scripts/install-deps.sh
seed=$1
shift
if [ "${1:-}" = --all ]; then
    exec python3 scripts/mutation.py --seed "$seed" --all
fi
exec python3 scripts/mutation.py --seed "$seed" --count "${1:-170}"
