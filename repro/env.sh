#!/usr/bin/env bash
# Attack environment: a private CUPS server on 127.0.0.1 with a PDF file queue "Office" (the
# default), a wine64 prefix with the DLL registered and the common fonts mapped.
#   repro/env.sh start DIR DLL WSH   (writes DIR/env to source)
#   repro/env.sh stop DIR
set -euo pipefail
cd "$(dirname "$0")/.."
cmd=$1 D=$2
case $cmd in
start)
  dll=$3 wsh=$4
  mkdir -p "$D"
  port=$((20000 + RANDOM % 20000))
  scripts/cups-server.sh start "$D/cups" "$port"
  export CUPS_SERVER=127.0.0.1:$port
  for q in Office Second; do
    lpadmin -p "$q" -E -v "file://$D/cups/out/$q.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
  done
  lpadmin -d Office
  export WINEPREFIX=$D/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= HOME=$D/home
  mkdir -p "$HOME/Documents" "$D/pdf"
  timeout 120 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  timeout 60 /usr/lib/wine/wineserver64 -w
  for font in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" "Courier New=Liberation Mono"; do
    timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${font%%=*}" /d "${font#*=}" /f >/dev/null
  done
  mkdir -p "$WINEPREFIX/drive_c/corvane"
  cp "$dll" "$wsh" "$WINEPREFIX/drive_c/corvane/"
  timeout 60 /usr/lib/wine/wine64 regsvr32 /s 'C:\corvane\CorvaneCOM.dll'
  timeout 60 /usr/lib/wine/wineserver64 -w
  cat > "$D/env" <<ENV
export CUPS_SERVER=$CUPS_SERVER WINEPREFIX=$WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= HOME=$HOME
export CORVANE_PDF_DIR='Z:${D//\//\\}\\pdf'
wsh() { timeout \${T:-300} /usr/lib/wine/wine64 'C:\\corvane\\corvane-wsh.exe' "\$@"; }
ENV
  ;;
stop)
  source "$D/env" || true
  timeout 30 /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  scripts/cups-server.sh stop "$D/cups" || true
  ;;
esac
