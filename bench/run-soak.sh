#!/usr/bin/env bash
# A long-lived worker's memory and descriptors: bench/soak.py [HTML_JOBS] [MIXED_JOBS] (2000 and
# 2000 by default) through the Python module, on the built-in PDF printer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
work=$(mktemp -d /tmp/corvane-soak.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pdf" "$work/data" -m 0700 "$work/runtime"
CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
  PYTHONPATH="$PWD/build/python" /usr/bin/python3 bench/soak.py "$@"
