#!/bin/bash
# Source: the environment of a test run with a private CUPS server in $A (default /tmp/a25e),
# the bordered queue Bordered (generic PDF printer PPD) and CORVANE naming the tool.
export A=${A:-/tmp/a25e}
source /work/main/repro/bands-env.sh
export CORVANE_PDF_DIR=$A/pdf
