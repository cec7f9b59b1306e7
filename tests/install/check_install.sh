#!/usr/bin/env bash
# Installs the sealed build (build-sealed/, the library as it is installed) into a temporary
# prefix and builds a small program against it outside the source tree, twice: with
# find_package(Corvane) and with pkg-config. Each program registers the installed library,
# creates the object by its programmatic identifier and prints a token of its own to the
# built-in printer; each token must be in exactly one new PDF.
#   tests/install/check_install.sh SOURCE_DIR SEALED_BUILD_DIR
set -euo pipefail
source_dir=$1
sealed=$2
if [ ! -f "$sealed/lib/libcorvane.so" ]; then
  echo "no sealed build in $sealed (scripts/build-sealed.sh makes it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$sealed" --prefix "$prefix" >"$work/install.log"
for f in lib/libcorvane.so lib/libcorvane.so.6 lib/libcorvane-web.so lib/corvane-picture include/corvane/Corvane.h \
         lib/python3/dist-packages/corvane.cpython-*.so \
         lib/pkgconfig/corvane.pc lib/cmake/Corvane/CorvaneConfig.cmake bin/corvane share/corvane/demo/demo.txt; do
  compgen -G "$prefix/$f" >/dev/null || { echo "not installed: $f"; exit 1; }
done
# Nothing of the library's insides is installed.
if find "$prefix/include" -name '*.h' | grep -v '/include/corvane/' | grep -q .; then
  echo "headers outside include/corvane were installed"; exit 1
fi

# The same program, built both ways, away from the source tree.
cp "$source_dir/tests/install/consumer/main.cpp" "$source_dir/tests/install/consumer/CMakeLists.txt" "$work/"
cmake -S "$work" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log"
cmake --build "$work/cmake-build" >"$work/build.log"
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exists corvane
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC "$work/main.cpp" -o "$work/pkg-consumer" \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs corvane) -Wl,-rpath,"$prefix/lib"

export QT_QPA_PLATFORM=offscreen
export CORVANE_PDF_DIR="$work/pdf"
mkdir -p "$CORVANE_PDF_DIR"
# Fails unless the phrase is in exactly one place of all the PDFs printed so far.
printed_once() {
  local found=0 n pdf
  for pdf in "$CORVANE_PDF_DIR"/*.pdf; do
    n=$(pdftotext "$pdf" - | { grep -o "$1" || true; } | wc -l)
    found=$((found + n))
  done
  [ "$found" -eq 1 ] || { echo "\"$1\" found $found times"; exit 1; }
}
run() { # program token
  XDG_DATA_HOME="$work/data-$2" "$1" "$prefix/lib/libcorvane.so.6" "$2 printed by an installed component"
}
run "$work/cmake-build/corvane-consumer" findpackagetoken
run "$work/pkg-consumer" pkgconfigtoken
count=$(ls "$CORVANE_PDF_DIR"/*.pdf | wc -l)
[ "$count" -eq 2 ] || { echo "expected 2 PDFs, found $count"; exit 1; }
for token in findpackagetoken pkgconfigtoken; do
  printed_once "$token printed by an installed component"
done
# The registration names the installed library.
grep -rq "$prefix/lib/libcorvane.so" "$work"/data-findpackagetoken/corvane/registry || {
  echo "the registration does not name the installed library"; exit 1; }

# Registered for every account: an account with no record of its own (its home read-only and
# empty) creates the object from the record under the prefix's data folder, found through
# XDG_DATA_DIRS, and writes nothing into its home.
record="$prefix/share/corvane/registry/CorvaneCOM.Corvane.reg"
grep -qx "InprocServer32=$prefix/lib/libcorvane.so.6" "$record" || { echo "no shared record naming the library"; exit 1; }
mkdir -p "$work/ro-home"
chmod 555 "$work/ro-home"
env -u XDG_DATA_HOME HOME="$work/ro-home" XDG_DATA_DIRS="$prefix/share" \
  "$prefix/bin/corvane" DocText="sharedtoken printed for every account" PrintDoc "Corvane PDF" 2>"$work/shared.err" || {
  cat "$work/shared.err"; exit 1; }
printed_once "sharedtoken printed for every account"
[ -z "$(ls -A "$work/ro-home")" ] || { echo "the account's home was written"; exit 1; }

# The installed Python module, with Debian's Python: it registers the library it is linked with
# (the installed one) for the account and prints.
PYTHONPATH="$prefix/lib/python3/dist-packages" XDG_DATA_HOME="$work/data-python" /usr/bin/python3 -c '
import corvane
doc = corvane.Dispatch("CorvaneCOM.Corvane")
doc.SetPrinter("Corvane PDF")
doc.DocText = "pythontoken printed by the installed module"
assert doc.PrintDoc() is None
'
printed_once "pythontoken printed by the installed module"
grep -qx "InprocServer32=$prefix/lib/libcorvane.so.6" "$work/data-python/corvane/registry/CorvaneCOM.Corvane.reg" || {
  echo "the module did not register the installed library"; exit 1; }

# Staged for a package (DESTDIR): the record names the library where it will be, not the stage.
DESTDIR="$work/stage" cmake --install "$sealed" --prefix /opt/corvane-staged >"$work/stage.log"
grep -qx "InprocServer32=/opt/corvane-staged/lib/libcorvane.so.6" \
  "$work/stage/opt/corvane-staged/share/corvane/registry/CorvaneCOM.Corvane.reg" || {
  echo "the staged record does not name the installed library"; exit 1; }

echo "installed into $prefix; both consumers printed their token once; an account without a record printed through the shared one"
