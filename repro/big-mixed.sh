#!/usr/bin/env bash
# big-mixed.js MODE SIZE under /usr/bin/time -v in the environment of env.sh DIR: wall time, peak
# memory, pages, and for "mixed" every id word Bnnnnnn once in order (pdftotext) and the
# page count worked out from the line count.
#   repro/big-mixed.sh DIR MODE SIZE [WORD-INDEXES, e.g. 0,3]
set -uo pipefail
D=$1 mode=$2 size=$3 pick=${4:-}
source "$D/env"
cp "$(dirname "$0")/big-mixed.js" "$WINEPREFIX/drive_c/corvane/"
cd "$WINEPREFIX/drive_c/corvane"
before=$(ls "$D/pdf" | sort)
out=$(/usr/bin/time -v -o "$D/time.txt" timeout 900 /usr/lib/wine/wine64 'C:\corvane\corvane-wsh.exe' big-mixed.js "$mode" "$size" $pick 2>&1 | tail -2)
echo "$out"
lines=$(echo "$out" | tr -d '\r' | sed -n 's/^lines=//p')
grep -E "Elapsed|Maximum resident" "$D/time.txt"
new=$(comm -13 <(echo "$before") <(ls "$D/pdf" | sort))
f="$D/pdf/$new"
[ -f "$f" ] || { echo "FAIL: no PDF"; exit 1; }
echo "pdf pages=$(pdfinfo "$f" | sed -n 's/^Pages: *//p') bytes=$(stat -c %s "$f") fonts=$(pdffonts "$f" | tail -n +3 | awk '{print $1}' | tr '\n' ,)"
if [ "$mode" = mixed ]; then
  got=$(pdftotext "$f" - | grep -o 'B[0-9]\{6\}')
  n=$(echo "$got" | wc -l)
  # Letter (the built-in printer's default), 1-inch margins, Arial 10: 57 lines a page
  echo "pages wanted $(( (lines + 56) / 57 )) for $lines lines"
  [ "$n" = "$lines" ] && [ "$got" = "$(seq -f 'B%06g' 1 "$n")" ] && echo "ids B000001..B$(printf %06d $n) in order" || echo "FAIL: ids out of order or missing ($n seen)"
else
  pdftotext "$f" - | head -c 300 | tr '\n' ' '; echo
fi
