#!/usr/bin/env bash
# Four wine processes printing 5 jobs each at once to the CUPS queue Office (env.sh DIR). Seen
# under wine 8: some jobs end in PrintError 482 "...the spooler did not open the job (Sharing
# violation)", each told to its caller and nothing of it queued (jobs added + errors = 20);
# the same jobs one process at a time all print.
#   repro/spooler-together.sh DIR
set -uo pipefail
D=$1
source "$D/env"
cp "$(dirname "$0")/many.js" "$WINEPREFIX/drive_c/corvane/"
cd "$WINEPREFIX/drive_c/corvane"
j0=$(lpstat -W all -o | wc -l)
for t in p q r s; do wsh many.js $t 5 Office >"$D/together-$t.out" 2>&1 & done
wait
cat "$D"/together-?.out
sleep 5
echo "jobs added: $(($(lpstat -W all -o | wc -l) - j0)), errors: $(cat "$D"/together-?.out | grep -c '^job ')"
