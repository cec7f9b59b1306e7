#!/usr/bin/env bash
# Text in scripts the body font does not cover, printed by PrintDoc to "Corvane PDF" under wine
# (env.sh DIR): Arabic, Chinese and an emoji are written with the body font's missing glyph (empty
# boxes) and read back as the wrong letters, though fontconfig has faces for them (DejaVu Sans,
# WenQuanYi Zen Hei) that wine's GDI finds. The job ends in PrintComplete.
#   repro/fallback.sh DIR
# Expected: the PDF's text is the input; seen before the mend: "‫ ممممم םולש‬café файл ‫ مم‬ﬁne"
# for "שלום مرحبا café файл 中文 ﬁne", and "pair��ok" for "pair😀ok". Since: "‫ שלום مرحبا‬café файл
# 中文 ﬁne" (the reader's marks around the right-to-left words, the space beside them inside) and
# "pair😀ok", with DejaVu Sans and WenQuanYi Zen Hei embedded.
set -uo pipefail
D=$1
source "$D/env"
cp "$(dirname "$0")/odd.js" "$WINEPREFIX/drive_c/corvane/"
cd "$WINEPREFIX/drive_c/corvane"
for mode in rtl surrogates; do
  before=$(ls "$D/pdf")
  wsh odd.js $mode
  new=$(comm -13 <(echo "$before") <(ls "$D/pdf"))
  pdftotext "$D/pdf/$new" - | sed '/^\s*$/d'
  pdffonts "$D/pdf/$new" | tail -n +3
done
