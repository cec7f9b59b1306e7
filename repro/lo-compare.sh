#!/bin/bash
# Converts the documents of bands-attack.py (written to $A/lo by the Python below) with
# LibreOffice and prints where chosen words stand on each page, to set beside Corvane's.
# Needs bands-env.sh sourced.
here=$(cd "$(dirname "$0")" && pwd); mkdir -p "$A/lo"
cd "$here" && python3 - <<'PY'
import os
src = open('bands-attack.py').read().split("if __name__ == '__main__':")[0]
exec(src)
d = os.environ['A'] + '/lo/'
open(d + 'bands.rtf', 'w').write(BANDS_DOC)
tail = ' '.join('tail%02d' % i for i in range(40))
open(d + 'rule.rtf', 'w').write(B.HEAD + r'\sectd\pard Heading\sect\sectd\sbknone\cols2\linebetcol\pard aa1 aa2 aa3\par\pard aa4\column bb1\sect\sectd\sbknone\pard ' + tail + r'\par}')
open(d + 'twonotes.rtf', 'w').write(B.HEAD + r'\sectd\cols2 ' + L('A', 49) + r'\pard B000' + NOTE('notetwo') + r'\par' + L('B', 20, 1) + r'\pard C000' + NOTE('notethree') + r'\par' + L('C', 3, 1) + '}')
PY
cd "$A/lo" && HOME=$A/lohome timeout 300 soffice --headless --convert-to pdf --outdir "$A/lo" bands.rtf rule.rtf twonotes.rtf >/dev/null 2>&1
for f in bands rule twonotes; do
  echo "== $f: $(pdfinfo $f.pdf | awk '/^Pages/{print $2}') pages; rules: $(python3 "$here/pdf-lines.py" $f.pdf | tr '\n' ' ')"
  pdftotext -bbox $f.pdf - | awk -F'"' '/<page/{p++} /<word/{w=substr($9, 2, index($9, "<") - 2); if (w ~ /^(Hd|H000|X000|X010|X029|M000|Y000|Y023|Y024|Y048|Y097|t11|Z000|aa1|aa4|bb1|tail07|A046|A047|A048|B000|notetwo|notethree)$/) printf "p%d %s@%.0f,%.0f ", p, w, $2, $4} END{print ""}'
done
