#!/usr/bin/env bash
# Prints count.js's N lines with COPIES to the CUPS queue Office (env.sh DIR) and checks what the
# queue wrote: every word w000001..wN once per copy, in order, and the page count.
#   repro/check-cups.sh DIR N COPIES PAPER ORIENTATION
set -uo pipefail
D=$1; shift
source "$D/env"
cp "$(dirname "$0")/count.js" "$WINEPREFIX/drive_c/corvane/"
rm -f "$D/cups/out/Office.pdf"
cd "$WINEPREFIX/drive_c/corvane"
wsh count.js "$@" Office 2>&1 | head -3
for i in $(seq 300); do [ -z "$(lpstat -o Office)" ] && [ -s "$D/cups/out/Office.pdf" ] && break; sleep 0.2; done
f=$D/cups/out/Office.pdf
n=$1 copies=$2
want=$(for c in $(seq "$copies"); do seq -f 'w%06g' 1 "$n"; done | md5sum)
got=$(pdftotext "$f" - | grep -o 'w[0-9]\{6\}' | md5sum)
[ "$want" = "$got" ] && echo "words ok" || echo "FAIL: words differ ($(pdftotext "$f" - | grep -c 'w[0-9]\{6\}') words)"
echo "pages=$(pdfinfo "$f" | sed -n 's/^Pages: *//p') $(pdfinfo "$f" | grep 'Page size')"
