#!/usr/bin/env bash
# The Windows platform's printing tests under wine64 (build-win64/bin/win32_printing_tests.exe):
# a private CUPS server on 127.0.0.1 with the queues the tests print to (Office, the default;
# Rejecting, which refuses jobs; Vanishing, which a test deletes), a wine prefix of the run's own
# in which Arial, Times New Roman and Courier New are their Liberation faces, then the tests.
# Everything it starts it stops, and the prefix is removed.
#   scripts/win32-printing-tests.sh [gtest arguments]
# (CTest runs it in build-win64; CORVANE_WIN32_PRINTING_TESTS names another test program.)
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${CORVANE_WIN32_PRINTING_TESTS:-$PWD/build-win64/bin/win32_printing_tests.exe}
[ -f "$exe" ] || { echo "$exe is missing: scripts/build-windows.sh 64 --no-tests" >&2; exit 1; }

work=$(mktemp -d /tmp/corvane-win32-printing.XXXXXX)
cups=$work/cups
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() {
  timeout 30 /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  scripts/cups-server.sh stop "$cups" || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server listens on its socket and on a port of 127.0.0.1, which wine's spooler reaches.
port=$((20000 + RANDOM % 20000))
scripts/cups-server.sh start "$cups" "$port"
export CUPS_SERVER=127.0.0.1:$port
ppd=lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
for queue in Office Rejecting Vanishing; do
  lpadmin -p "$queue" -E -v "file://$cups/out/$queue.pdf" -m "$ppd"
done
lpadmin -d Office
cupsreject Rejecting

# Wine's user folders (Documents) lead into a home of the run's own, not the user's.
export HOME=$work/home
mkdir -p "$HOME/Documents"
# The prefix is made once the queues are there: wine's spooler lists the server's printers.
timeout 120 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
timeout 60 /usr/lib/wine/wineserver64 -w
for font in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" "Courier New=Liberation Mono"; do
  timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%=*}" /d "${font#*=}" /f >/dev/null
done
timeout 60 /usr/lib/wine/wineserver64 -w

CORVANE_TEST_CUPS_DIR=$cups timeout 600 /usr/lib/wine/wine64 "$exe" "$@"
