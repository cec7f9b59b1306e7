#!/usr/bin/env bash
# Configures (once) and builds the one build tree, build/, with Ninja.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -- -j"$(nproc)" >build/build.log 2>&1 || { tail -n 60 build/build.log >&2; exit 1; }
