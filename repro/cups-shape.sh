#!/usr/bin/env bash
# One PrintDoc of a text (given as a JavaScript string literal, \u escapes allowed) to the CUPS
# queue Office (env.sh DIR) through GDI: the job's result, what the queue wrote as text, and its
# first page as a PNG beside it (DIR/cups-shape-TAG.png) to look at.
#   repro/cups-shape.sh DIR TAG 'JS-STRING' [FONT]
set -uo pipefail
D=$1 tag=$2 text=$3 font=${4:-Arial,12,0,0,0}
source "$D/env"
cat > "$WINEPREFIX/drive_c/corvane/cups-shape.js" <<JS
var ev=''; function c_PrintComplete(){ev+=' Complete';} function c_PrintError(e,d){ev+=' Error '+e+' '+d;}
var c=WScript.CreateObject('CorvaneCOM.Corvane','c_');
c.DocText='$text'; c.DocTextFont='$font';
var r; try { r=c.PrintDoc('Office'); } catch(e) { r='throw '+e.number+' '+e.description; }
WScript.Echo('result '+r+ev);
JS
rm -f "$D/cups/out/Office.pdf"
cd "$WINEPREFIX/drive_c/corvane"
wsh cups-shape.js 2>&1 | tail -1
for i in $(seq 300); do [ -z "$(lpstat -o Office)" ] && [ -s "$D/cups/out/Office.pdf" ] && break; sleep 0.2; done
f=$D/cups/out/Office.pdf
echo "pages=$(pdfinfo "$f" 2>/dev/null | sed -n 's/^Pages: *//p') text: $(pdftotext "$f" - 2>/dev/null | tr -s '\n' ' ')"
pdftoppm -r 150 -f 1 -l 1 -x 100 -y 100 -W 1100 -H 120 -png "$f" "$D/cups-shape-$tag"
