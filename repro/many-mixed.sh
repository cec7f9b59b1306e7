#!/usr/bin/env bash
# P processes at once, each printing J mixed-script jobs (many-mixed.js) to "Corvane PDF" in its
# own folder, in the environment of env.sh DIR; samples the resident memory of the first process
# every 2 s; then checks each folder: J PDFs, and in each every line TAGxJOBxLINE (1..60) once.
#   repro/many-mixed.sh DIR P J
set -uo pipefail
D=$1 P=$2 J=$3
source "$D/env"
cp "$(dirname "$0")/many-mixed.js" "$WINEPREFIX/drive_c/corvane/"
cd "$WINEPREFIX/drive_c/corvane"
pids=()
for p in $(seq "$P"); do
  rm -rf "$D/many$p"; mkdir -p "$D/many$p"
  CORVANE_PDF_DIR="Z:${D//\//\\}\\many$p" timeout 1200 /usr/lib/wine/wine64 'C:\corvane\corvane-wsh.exe' many-mixed.js "t$p" "$J" > "$D/many$p.out" 2>&1 &
  pids+=($!)
done
sleep 3
w=$(pgrep -f 'many-mixed.js t1 ' | head -1)
for i in $(seq 600); do
  kill -0 "${pids[0]}" 2>/dev/null || break
  for q in $(pgrep -f 'corvane-wsh.exe many-mixed.js t1 '); do echo "rss $(date +%s) $(awk '/VmRSS/{print $2}' /proc/$q/status 2>/dev/null) kB pdfs $(ls "$D/many1" | wc -l)"; done | tail -1
  sleep 2
done > "$D/many-rss.txt"
wait "${pids[@]}"
awk 'NR==1||NR%10==0' "$D/many-rss.txt"; tail -1 "$D/many-rss.txt"
for p in $(seq "$P"); do
  tail -1 "$D/many$p.out"
  n=$(ls "$D/many$p" | wc -l) bad=0
  for f in "$D/many$p"/*.pdf; do
    ids=$(pdftotext "$f" - | grep -o "t${p}x[0-9]*x[0-9]*" | sed 's/.*x//' | tr '\n' ' ')
    [ "$ids" = "$(seq 60 | tr '\n' ' ')" ] || bad=$((bad + 1))
  done
  echo "process $p: $n PDFs (want $J), $bad without lines 1..60 in order"
done
