#!/usr/bin/env bash
# Registers CorvaneCOM.dll with regsvr32 in a new wine prefix, runs the early-bound client's
# tests and a VBScript through cscript against it, unregisters it and checks that its keys
# are gone. The prefix is removed afterwards.
#   tests/win32/run-com-tests.sh DLL CLIENT_EXE LOADER
set -euo pipefail
dll=$1 client=$2 loader=$3
if ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIPPED: this machine cannot run $loader ($(uname -r))"
  exit 77
fi
case $loader in *64) server=$(dirname "$loader")/wineserver64 ;; *) server=$(dirname "$loader")/wineserver ;; esac

prefix=$(mktemp -d /tmp/corvane-com.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() { timeout 30 "$server" -k 2>/dev/null || true; rm -rf "$prefix"; }
trap cleanup EXIT
timeout 120 "$loader" wineboot -i >/dev/null 2>&1
timeout 60 "$server" -w

mkdir -p "$prefix/drive_c/corvane"
cp "$dll" "$prefix/drive_c/corvane/CorvaneCOM.dll"
cp "$client" "$prefix/drive_c/corvane/client.exe"
win() { timeout "$1" "$loader" "${@:2}"; }

win 60 regsvr32 /s 'C:\corvane\CorvaneCOM.dll' || { echo "FAILED: regsvr32 CorvaneCOM.dll"; exit 1; }

status=0
win 300 'C:\corvane\client.exe' || status=1

# Late binding from a script; cscript hides script errors, so its output is what counts.
cat >"$prefix/drive_c/corvane/smoke.vbs" <<'VBS'
Set c = CreateObject("CorvaneCOM.Corvane")
c.printborder = 7
c.FileName = "C:\no such folder\missing.txt"
WScript.Echo c.PAPERSIZE & " " & c.MarginTop & " " & CInt(c.PrintBorder) & " " & c.PrintDoc()
On Error Resume Next
c.NoSuchMember
WScript.Echo Err.Number
VBS
expected=$'1 1440 7 -1|File Not Found!\n438'
actual=$(win 60 cscript //nologo 'C:\corvane\smoke.vbs' 2>&1 | tr -d '\r')
if [ "$actual" != "$expected" ]; then
  echo "FAILED: the VBScript wrote:"
  echo "$actual"
  echo "instead of:"
  echo "$expected"
  status=1
fi

win 60 regsvr32 /s /u 'C:\corvane\CorvaneCOM.dll' || { echo "FAILED: regsvr32 /u CorvaneCOM.dll"; status=1; }
for key in 'HKCR\CorvaneCOM.Corvane' 'HKCR\CLSID\{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E10}' \
  'HKCR\TypeLib\{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E13}' 'HKCR\Interface\{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E11}'; do
  if win 30 reg query "$key" >/dev/null 2>&1; then
    echo "FAILED: $key is still there after regsvr32 /u"
    status=1
  fi
done
exit $status
