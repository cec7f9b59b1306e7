#!/usr/bin/env bash
# Builds the library as it is installed, sealed (only the public API exported), with clang and
# warnings as errors, into build-sealed/: the component, its browser module and picture
# program, the tools and the demo, which use the public headers alone. The sealed_library test
# then checks what the library exports and prints through the sealed tools.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${SEALED_BUILD_DIR:-build-sealed}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCORVANE_BUILD_TESTS=OFF -DCORVANE_SEALED=ON -DCORVANE_WERROR=ON >/dev/null
fi
cmake --build "$dir" -- -j"$(nproc)" >"$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log" >&2; exit 1; }
