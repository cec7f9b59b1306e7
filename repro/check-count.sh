#!/usr/bin/env bash
# Runs count.js (N COPIES PAPER ORIENTATION [PRINTER [hdr]]) in the environment of env.sh DIR and
# checks the one new PDF: every word w000001..wN once per copy, in order; echoes the page count
# and the page sizes seen.
#   repro/check-count.sh DIR N COPIES PAPER ORIENTATION [PRINTER [hdr]]
set -uo pipefail
D=$1; shift
source "$D/env"
cp "$(dirname "$0")/count.js" "$WINEPREFIX/drive_c/corvane/"
cd "$WINEPREFIX/drive_c/corvane"
before=$(ls "$D/pdf" | sort)
out=$(wsh count.js "$@" 2>&1)
echo "$out" | head -3
new=$(comm -13 <(echo "$before") <(ls "$D/pdf" | sort))
[ "$(echo "$new" | grep -c .)" = 1 ] || { echo "FAIL: new PDFs: [$new]"; exit 1; }
f="$D/pdf/$new"
n=$1 copies=$2
want=$(for c in $(seq "$copies"); do seq -f 'w%06g' 1 "$n"; done | md5sum)
got=$(pdftotext "$f" - | grep -o 'w[0-9]\{6\}' | md5sum)
title=$(pdftotext "$f" - | grep -c TitleWord)
pages=$(pdfinfo "$f" | sed -n 's/^Pages: *//p')
sizes=$(pdfinfo -f 1 -l "$pages" "$f" | grep 'size:' | sed 's/.*size: *//' | sort | uniq -c | tr -s ' ' | tr '\n' ';')
[ "$want" = "$got" ] && echo "words ok" || echo "FAIL: words differ"
echo "pages=$pages titles=$title sizes=$sizes file=$new"
