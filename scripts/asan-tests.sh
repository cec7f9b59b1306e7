#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# in a tree of its own (build-asan/). Fails on any report. The Xvfb screenshots are left out:
# they add nothing. The fuzz targets' replay of their inputs runs here under the sanitizers too.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=build-asan
export CXXFLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer"
export LDFLAGS="-fsanitize=address,undefined"
# Leaks of the libraries below us (fontconfig, the browser engine) are theirs, not ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
# The browser engine frees some objects with a sized delete of another type: its own matter.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:new_delete_type_mismatch=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
exec ./test -E 'Xvfb' "$@"
