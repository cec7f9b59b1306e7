#!/usr/bin/env bash
# The threads tests built with ThreadSanitizer in a tree of their own (build-tsan/). Fails on
# any report. Qt, fontconfig and the other system libraries are not instrumented: their own
# locking (futexes, atomics) is invisible to the sanitizer, so reports with a frame inside them
# are suppressed (scripts/tsan.supp). Races between accesses of our own code are reported.
#   scripts/tsan-tests.sh [ctest arguments]   (default: the Threads tests)
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=build-tsan
export CXXFLAGS="-fsanitize=thread -fno-omit-frame-pointer"
export LDFLAGS="-fsanitize=thread"
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1:history_size=4"
if [ $# -eq 0 ]; then set -- -R '^Threads\.'; fi
exec ./test "$@"
