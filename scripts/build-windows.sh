#!/usr/bin/env bash
# Cross-builds the plain C++ core, its tests and the COM server CorvaneCOM.dll for Windows with
# mingw-w64, 64-bit in build-win64/ and 32-bit in build-win32/, statically linked so that they
# need only the DLLs every Windows has, and runs the tests under wine (in a wine prefix of the
# run's own under /tmp, removed afterwards). scripts/setup.sh --windows installs the compilers and wine.
#   scripts/build-windows.sh [--no-tests] [64] [32]      (both bitnesses when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=1
bitnesses=()
for arg in "$@"; do
  case $arg in
    --no-tests) run_tests=0 ;;
    64 | 32) bitnesses+=("$arg") ;;
    *) echo "usage: $0 [--no-tests] [64] [32]" >&2; exit 2 ;;
  esac
done
[ ${#bitnesses[@]} -eq 0 ] && bitnesses=(64 32)

# Wine's loaders: wine64 for 64-bit programs; wine for 32-bit ones (it needs wine32:i386).
loader() { if [ "$1" = 64 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi; }

# A kernel without 32-bit support (no IA32 emulation) cannot start wine's 32-bit loader, an
# i386 Linux program: the 32-bit tests are then skipped, and said so.
runnable=()
if [ "$run_tests" = 1 ]; then for bits in "${bitnesses[@]}"; do
  if [ "$bits" = 32 ] && [ ! -x "$(loader 32)" ]; then
    # (scripts/setup.sh goes on without wine32:i386 when a mirror fails to give the i386 lists.)
    echo "== Windows 32-bit: tests SKIPPED, $(loader 32) is not installed (wine32:i386); only CorvaneCOM.dll and corvane-wsh.exe are built" >&2
    continue
  fi
  [ -x "$(loader "$bits")" ] || { echo "$(loader "$bits") is missing: scripts/setup.sh --windows" >&2; exit 1; }
  if "$(loader "$bits")" --version >/dev/null 2>&1; then
    runnable+=("$bits")
  else
    echo "== Windows $bits-bit: tests SKIPPED, this machine cannot run $(loader "$bits") ($(uname -r)); only CorvaneCOM.dll and corvane-wsh.exe are built" >&2
  fi
done; fi
for bits in "${bitnesses[@]}"; do
  if [ "$bits" = 32 ] && [ ! -f /usr/lib/i386-linux-gnu/wine/i386-windows/stdole2.tlb ]; then
    # The 32-bit type library imports wine32's stdole2.tlb: without wine32:i386 nothing 32-bit
    # can be built.
    echo "== Windows 32-bit: NOT BUILT, wine32:i386 is not installed (its stdole2.tlb is needed)" >&2
    continue
  fi
  if [ "$bits" = 64 ]; then arch=x86_64; else arch=i686; fi
  command -v "$arch-w64-mingw32-g++-posix" >/dev/null || { echo "$arch-w64-mingw32-g++-posix is missing: scripts/setup.sh --windows" >&2; exit 1; }
  dir=build-win$bits
  if [ ! -f "$dir/build.ninja" ]; then
    # shellcheck disable=SC2086
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON -DCORVANE_CORE_ONLY=ON \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-$arch.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR="$(loader "$bits")" \
      ${CMAKE_ARGS:-} >/dev/null
  fi
  # Where its tests cannot run, only what is shipped: the DLL and the script host.
  targets=()
  if [ "$run_tests" = 1 ] && [[ " ${runnable[*]} " != *" $bits "* ]]; then targets=(--target CorvaneCOM corvane-wsh); fi
  nice -n 10 cmake --build "$dir" "${targets[@]}" -- -j2 >"$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log" >&2; exit 1; }
done
[ "$run_tests" = 1 ] && [ ${#runnable[@]} -gt 0 ] || exit 0

# One prefix for the run (a 64-bit prefix runs 32-bit programs too), made before the first test
# so that its making is not counted against a test's time; no display is needed.
prefix=$(mktemp -d /tmp/corvane-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
# Wine's own programs through the 64-bit loader and server: the wrappers in /usr/bin pick the
# 32-bit ones whenever wine32 is installed, also where they cannot run.
cleanup() { /usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
/usr/lib/wine/wineserver64 -w

status=0
for bits in "${runnable[@]}"; do
  echo "== Windows $bits-bit, under $(loader "$bits")"
  ctest --test-dir "build-win$bits" --output-on-failure || status=1
done
exit $status
