#!/usr/bin/env bash
# Configures (once) and builds the one build tree, build/, with Ninja.
set -euo pipefail
cd "$(dirname "$0")/.."
# BUILD_DIR and CMAKE_ARGS choose another tree (the sanitizer runs use them).
dir=${BUILD_DIR:-build}
if [ ! -f "$dir/build.ninja" ]; then
  # shellcheck disable=SC2086
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
fi
cmake --build "$dir" -- -j"$(nproc)" >"$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log" >&2; exit 1; }
