#!/usr/bin/env bash
# A DocText that opens a line with combining marks (no letter under them), one process per text,
# to "Corvane PDF" under wine (env.sh DIR): the host dies in wine's mark-on-mark positioning
# (ScriptPlace) with no PrintError and no PrintComplete; exit status and the first line of the crash
# report are echoed. Expected: "result=undefined ... Complete" and a PDF for each.
#   repro/marks-crash.sh DIR JS-STRING...   e.g. '\u0EC8\u0EC9' (two Lao tone marks)
set -uo pipefail
D=$1
source "$D/env"
cd "$WINEPREFIX/drive_c/corvane"
n=0
for t in "${@:2}"; do
  n=$((n + 1))
  cat > marks.js <<JS
var ev=''; function c_PrintComplete(){ev+=' Complete';} function c_PrintError(e,d){ev+=' Error '+e+' '+d;}
var c=WScript.CreateObject('CorvaneCOM.Corvane','c_'); c.DocText='$t';
var r; try { r=c.PrintDoc('Corvane PDF'); } catch(e) { r='throw '+e.number+' '+e.description; }
WScript.Echo('result='+r+ev);
JS
  before=$(ls "$D/pdf" | wc -l)
  out=$(timeout 120 /usr/lib/wine/wine64 'C:\corvane\corvane-wsh.exe' marks.js 2>&1); rc=$?
  echo "$t -> rc=$rc $(echo "$out" | grep -m1 -o 'result=.*\|Unhandled [a-z ]*\|GPOS_apply_[A-Za-z]*') | $(echo "$out" | grep -m1 -o 'GPOS_apply_[A-Za-z]*') pdfs+$(( $(ls "$D/pdf" | wc -l) - before ))"
done
