#!/usr/bin/env bash
# Runs the words-in, words-out test longer than ./test does: ROUNDS rounds (10 by default) of
# CASES generated documents (200 by default), each round from a random seed, against a private
# CUPS server. Failing cases are kept (input and PDF) in build/words-failures; the seed of each
# failing round is printed, and CORVANE_WORDS_SEED=<seed> repeats it.
#   scripts/words-in-words-out.sh [ROUNDS] [CASES]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
cases=${2:-200}
scripts/setup.sh
scripts/build.sh

work=$(mktemp -d /tmp/corvane-words.XXXXXX)
chmod 755 "$work"
cleanup() { scripts/cups-server.sh stop "$work/cups" || true; rm -rf "$work"; }
trap cleanup EXIT
scripts/cups-server.sh start "$work/cups"
export CUPS_SERVER="$work/cups/cups.sock" CORVANE_TEST_CUPS_DIR="$work/cups"
export XDG_DATA_HOME="$work/data" HOME="$work/home" QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$work/runtime" CORVANE_WORDS_CASES="$cases" CORVANE_WORDS_KEEP="$PWD/build/words-failures"
mkdir -p "$HOME" && mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

failed=0
for round in $(seq "$rounds"); do
  seed=$(( (RANDOM << 15 | RANDOM) + 1 ))
  if CORVANE_WORDS_SEED=$seed build/bin/integration_tests --gtest_filter='WordsInWordsOut.*' > "$work/out" 2>&1; then
    echo "round $round, seed $seed: $cases documents, all held"
  else
    failed=$((failed + 1))
    echo "round $round, seed $seed: FAILED"
    grep -E '^seed ' "$work/out" | cut -c1-400
  fi
done
echo "$((rounds - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
