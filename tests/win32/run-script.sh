#!/usr/bin/env bash
# Runs one script through corvane-wsh under wine and compares what it did with the expectations
# written in the script's own comment lines (' in VBScript, // in JScript):
#   expect-exit: N     the exit status (0 when none is given)
#   expect-out: TEXT   one line of standard output; the output must be exactly these lines
#   expect-last: TEXT  the last line of standard output, the rest not compared (for scripts that
#                      check themselves, echo each check and quit non-zero on the first mismatch)
#   expect-err: TEXT   one line of standard error; without any, standard error must be empty
#   expect-pdf: TEXT   one line of the text of the one PDF the script printed to "Corvane PDF"
#                      (pdftotext, empty lines dropped)
#   arg: TEXT          one argument after the script's name
# The script runs from its own folder, named without its path, so that errors name it alone.
#   run-script.sh WINE-LOADER corvane-wsh.exe SCRIPT
set -uo pipefail
loader=$1 host=$2 script=$3
export WINEDEBUG=${WINEDEBUG:--all} DISPLAY=

expect() { sed -n "s/^\(\/\/\|'\) $1: \{0,1\}//p" "$script" | tr -d '\r'; }

args=()
while IFS= read -r line; do args+=("$line"); done < <(expect arg)
want_exit=$(expect expect-exit)
want_exit=${want_exit:-0}
work=$(mktemp -d /tmp/corvane-wsh-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/pdf"
# The printer "Corvane PDF" writes into this folder, named as Windows names it; the CUPS server
# does not answer, so that "Corvane PDF" is the one printer and nothing reaches a real queue.
export CORVANE_PDF_DIR="Z:${work//\//\\}\\pdf" CUPS_SERVER=127.0.0.1:1

cd "$(dirname "$script")" || exit 1
timeout 120 "$loader" "$host" "$(basename "$script")" "${args[@]}" >"$work/out" 2>"$work/err"
status=$?

failed=0
compare() { # what, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1 differs"; echo "--- expected"; printf '%s\n' "$2"; echo "--- actual"; printf '%s\n' "$3"
    failed=1
  fi
}
# Each line the host writes ends in CR LF; a line without its CR is a fault too.
out=$(sed 's/\r$//' "$work/out")
compare "the CR LF line ends" "$(wc -l <"$work/out")" "$(grep -c $'\r$' "$work/out")"
if [ -n "$(expect expect-last)" ]; then
  compare "the last line of standard output" "$(expect expect-last)" "$(printf '%s\n' "$out" | tail -n 1)"
else
  compare "standard output" "$(expect expect-out)" "$out"
fi
compare "standard error" "$(expect expect-err)" "$(tr -d '\r' <"$work/err")"
compare "exit status" "$want_exit" "$status"
if [ -n "$(expect expect-pdf)" ]; then
  pdfs=("$work"/pdf/*.pdf)
  compare "the number of PDF files" 1 "$(find "$work/pdf" -name '*.pdf' | wc -l)"
  [ -f "${pdfs[0]}" ] && compare "the PDF's text" "$(expect expect-pdf)" "$(pdftotext "${pdfs[0]}" - | tr -d '\f' | sed '/^ *$/d')"
fi
exit $failed
