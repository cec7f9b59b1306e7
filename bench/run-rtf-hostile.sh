#!/usr/bin/env bash
# Documents that are hard on a printer, through PrintRTFFile to the built-in PDF printer: how
# peak memory grows with the number of times one picture is repeated (flat after the first),
# and how time grows with the length of one word and the width of one table row (linear: twice
# the size, twice the time). Prints a table of size, seconds, peak resident memory and outcome.
#   bench/run-rtf-hostile.sh [pictures|word|row|fonts]...   (all four by default)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

work=$(mktemp -d /tmp/corvane-hostile.XXXXXX)
trap 'rm -rf "$work"' EXIT
export CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen HOME="$work/home"
mkdir -p "$CORVANE_PDF_DIR" "$HOME"

# one KIND N [USED]: generates the document, prints it once, prints a row of the table.
one() {
  local input="$work/doc.rtf" outcome
  build/bin/generate_rtf "$@" > "$input"
  rm -f "$CORVANE_PDF_DIR"/*.pdf
  /usr/bin/time -f '%e %M' -o "$work/time" build/bin/corvane PrintRTFFile "$input" >/dev/null 2>"$work/err" || true
  read -r secs kb < <(tail -n 1 "$work/time") # after "Command exited with non-zero status"
  outcome=$(grep -m1 -E '^(PrintComplete|PrintError)' "$work/err" | cut -c1-40 || true)
  printf '| %-8s | %9s | %9d | %7.2f | %8.1f | %-40s |\n' "$1" "$2${3:+/$3}" "$(stat -c %s "$input")" "$secs" \
    "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "${outcome:-none}"
}

echo "| document |      size |     bytes |       s | peak MiB | outcome                                  |"
echo "|----------|-----------|-----------|---------|----------|------------------------------------------|"
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(pictures word row fonts)
for kind in "${kinds[@]}"; do
  case $kind in
    pictures) for n in 1 5 20 60; do one pictures "$n"; done ;;
    word) for n in 100000 200000 400000 800000 1600000; do one word "$n"; done ;;
    row) for n in 1250 2500 5000 10000; do one row "$n"; done ;;
    fonts) for n in 1000 10000 100000; do one fonts "$n" 2000; done ;;
  esac
done
