#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and any others named
# as arguments (the benchmarks name their peers).
# Idempotent: when every package is present it prints nothing and exits.
set -euo pipefail

# scripts/setup.sh --windows installs, besides, what scripts/build-windows.sh needs: the
# mingw-w64 cross compilers, zlib for them, wine (64-bit, and 32-bit through the i386
# architecture) and wine's interface definitions. ./test installs them too.
windows=0
if [ "${1:-}" = --windows ]; then
  windows=1
  shift
fi

packages=(
  build-essential cmake ninja-build
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-declarative-dev qt6-webengine-dev qt6-pdf-dev
  qt6-svg-dev libwmf-dev libemf2svg-dev libseccomp-dev
  cups cups-client cups-bsd libcups2-dev zlib1g-dev libfontconfig-dev printer-driver-cups-pdf cups-filters
  poppler-utils fonts-liberation fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-dejavu-core fonts-wqy-zenhei xvfb xauth
  clang libclang-rt-14-dev
  cups-ipp-utils avahi-daemon dbus
  libreoffice-writer-nogui abiword pandoc chromium python3
  help2man dpkg-dev pybind11-dev python3-dev python3-pytest gunicorn
  "$@"
)

if [ "$windows" = 1 ]; then
  # libwine-dev: the .idl files (oaidl.idl and the rest) widl compiles the COM server's type
  # library against; Debian's mingw-w64 ships none.
  packages+=(mingw-w64 mingw-w64-tools libz-mingw-w64-dev wine wine64 wine32:i386 libwine-dev)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
    $sudo dpkg --add-architecture i386
  fi
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught in the middle of a sync fails a fetch now and then: each step is tried three
# times, and an update that keeps failing leaves the lists it had, which may be enough.
for attempt in 1 2 3; do
  $sudo apt-get update -qq >/dev/null && break
  echo "apt-get update failed (attempt $attempt of 3)" >&2
  sleep $((attempt * 15))
done
for attempt in 1 2 3; do
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null && exit 0
  echo "apt-get install failed (attempt $attempt of 3)" >&2
  [ "$attempt" -eq 3 ] || { sleep $((attempt * 15)); $sudo apt-get update -qq >/dev/null || true; }
done
# The 32-bit wine comes from the i386 lists, which a mirror may fail to give while the others
# come: without it the 32-bit Windows tests are skipped (scripts/build-windows.sh says so).
rest=()
for p in "${missing[@]}"; do [ "$p" = "wine32:i386" ] || rest+=("$p"); done
if [ ${#rest[@]} -lt ${#missing[@]} ] && $sudo apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null; then
  echo "wine32:i386 could not be installed: the 32-bit Windows tests will be skipped" >&2
  exit 0
fi
echo "apt-get install failed" >&2
exit 1
