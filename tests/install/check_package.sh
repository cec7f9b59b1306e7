#!/usr/bin/env bash
# Builds the Debian package from the sealed build (cpack -G DEB), lists it, extracts it into a
# temporary root and runs its tools from there: the command-line tool prints a token of its own
# to the built-in printer, exactly once.
#   tests/install/check_package.sh SEALED_BUILD_DIR
set -euo pipefail
sealed=$(cd "$1" 2>/dev/null && pwd) || { echo "no sealed build in $1"; exit 77; }
[ -f "$sealed/CPackConfig.cmake" ] || { echo "no sealed build in $sealed (scripts/build-sealed.sh makes it)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$sealed" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { tail -20 "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/corvane_*_amd64.deb)
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in ./usr/lib/libcorvane.so.6 ./usr/lib/libcorvane-web.so ./usr/lib/corvane-picture ./usr/bin/corvane \
         ./usr/bin/corvane-script ./usr/bin/CorvaneDemo ./usr/include/corvane/Corvane.h ./usr/lib/pkgconfig/corvane.pc \
         ./usr/share/corvane/registry/CorvaneCOM.Corvane.reg ./usr/share/man/man1/corvane.1 \
         ./usr/share/corvane/demo/demo.txt './usr/lib/python3/dist-packages/corvane\.cpython-.*\.so'; do
  grep -qx "$f" "$work/contents" || { echo "not in the package: $f"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6printsupport6' || { echo "the package does not depend on Qt"; exit 1; }

dpkg-deb -x "$deb" "$work/root"
grep -qx "InprocServer32=/usr/lib/libcorvane.so.6" "$work/root/usr/share/corvane/registry/CorvaneCOM.Corvane.reg" || {
  echo "the package's record does not name /usr/lib/libcorvane.so.6"; exit 1; }
[ "$("$work/root/usr/bin/corvane" --version)" = "corvane 6.0" ] || { echo "--version"; exit 1; }

export QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$work/data" CORVANE_PDF_DIR="$work/pdf"
mkdir -p "$CORVANE_PDF_DIR"
"$work/root/usr/bin/corvane" DocText="packagetoken printed from the package" PrintDoc "Corvane PDF" 2>"$work/err" || {
  cat "$work/err"; exit 1; }
count=$(ls "$CORVANE_PDF_DIR"/*.pdf | wc -l)
[ "$count" -eq 1 ] || { echo "expected 1 PDF, found $count"; exit 1; }
[ "$(pdftotext "$CORVANE_PDF_DIR"/*.pdf - | grep -c 'packagetoken printed from the package')" -eq 1 ] || {
  echo "the token is not in the PDF once"; exit 1; }
# The extracted tool registered the library beside it, not one of another tree.
grep -qx "InprocServer32=$work/root/usr/lib/libcorvane.so.6" "$XDG_DATA_HOME/corvane/registry/CorvaneCOM.Corvane.reg" || {
  echo "the extracted tool did not register its own library"; cat "$XDG_DATA_HOME/corvane/registry/CorvaneCOM.Corvane.reg"; exit 1; }
echo "$(basename "$deb"): $(grep -c . "$work/contents") entries; the extracted tool printed its token once"
