#!/usr/bin/env bash
# Corvane's RTF printing beside LibreOffice on the whole set of documents: RTF written by
# LibreOffice, AbiWord and pandoc from documents made in the run, printed by Corvane and
# converted to PDF by LibreOffice, then compared (words in order, pages, paragraph edges,
# table columns, pictures, colours). Prints every disagreement and the figures; exit status 1
# when any disagreement is not a known case of LibreOffice being wrong. ctest runs the small
# set as rtf_differential.
#   scripts/rtf-differential.sh [--only NAME]... [--keep DIR] [--list]
# CORVANE=path/to/corvane runs that tool and builds nothing; otherwise the build tree
# (BUILD_DIR, build/ by default) is brought up to date first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -z "${CORVANE:-}" ]; then
  scripts/build.sh
  CORVANE="${BUILD_DIR:-build}/bin/corvane"
fi
exec python3 tests/differential/rtf_differential.py --corvane "$CORVANE" --set full "$@"
