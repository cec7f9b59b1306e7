#!/usr/bin/env python3
"""Big documents on the direct writer, timed with /usr/bin/time -v: 10,000 right-to-left words with
marks (Hebrew with points and Arabic with vowels, in right-to-left paragraphs of 50 words), and
about 1 MB of mixed scripts (Latin, Greek, Cyrillic, Hebrew, Arabic, CJK, emoji, ZWSP, Devanagari
boxes) in left-aligned paragraphs. The text layer must hold every word exactly as many times as it
went in; the job must say PrintComplete. Prints seconds and peak memory.
Usage: sizes.py [rtl] [mixed]; exit 1 when something broke."""
import sys, collections, random
from lib import *

HE = ['שָׁלוֹם', 'בְּרֵאשִׁית', 'אֱלֹהִים', 'מֶלֶךְ', 'יִשְׂרָאֵל', 'תּוֹרָה']
AR = ['بِسْمِ', 'مُحَمَّدٌ', 'الْحَمْدُ', 'رَسُولُ', 'كِتَابٌ', 'لِلَّهِ']
MIX = ['office', 'Ελληνικά', 'Привет', 'שלום', 'مرحبا', '中文测试', '👍🏽', 'zero\u200bwidth', 'नमस्ते',
       'café', 'naïve', 'שָׁלוֹם', 'بِسْمِ', 'Ω≈∀', 'data-2024']


def doc(ws, per, rtl):
    paras = [' '.join(ws[i:i + per]) for i in range(0, len(ws), per)]
    pre = r'\pard\rtlpar\qr ' if rtl else r'\pard '
    return head() + ''.join(pre + u(p) + r'\par' + '\n' for p in paras) + '}'


def go(name, ws, per, rtl):
    rtf = doc(ws, per, rtl)
    global rtl_now
    d = os.path.join(A, 'out', 'size-' + name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d + '/pdf')
    open(d + '/doc.rtf', 'w', encoding='latin-1').write(rtf)
    env = dict(os.environ, CORVANE_PDF_DIR=d + '/pdf')
    p = subprocess.run(['/usr/bin/time', '-v', 'timeout', '1200', CORVANE, 'PrintRTFFile', d + '/doc.rtf'],
                       env=env, capture_output=True, text=True)
    secs = re.search(r'Elapsed \(wall clock\) time.*: (\S+)', p.stderr).group(1)
    kb = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)', p.stderr).group(1))
    pdfs = glob.glob(d + '/pdf/*.pdf')
    faults = []
    if 'PrintComplete' not in p.stderr or 'PrintError' in p.stderr:
        faults.append('tool: ' + p.stderr[:300])
    if not pdfs:
        return faults + ['no pdf'], secs, kb, 0
    pdf = pdfs[0]
    if producer(pdf) != 'Corvane':
        faults.append('producer ' + producer(pdf))
    got = collections.Counter(clean(text(pdf, raw=not rtl)).split())
    want = collections.Counter(ws)
    if got != want:
        miss, extra = want - got, got - want
        faults.append(f'words: {sum(miss.values())} missing {list(miss.items())[:6]}, '
                      f'{sum(extra.values())} extra {list(extra.items())[:6]}')
    return faults, secs, kb, npages(pdf)


def main():
    what = sys.argv[1:] or ['rtl', 'mixed']
    rnd = random.Random(33)
    bad = 0
    for w in what:
        if w == 'rtl':
            ws = [rnd.choice(HE + AR) for _ in range(10000)]
            # one script a paragraph: Hebrew and Arabic paragraphs in turn
            ws = [HE[i % 6] if (i // 50) % 2 == 0 else AR[i % 6] for i in range(10000)]
            res = go('rtl10k', ws, 50, True)
        else:
            ws = []
            n = 0
            while n < 1_000_000:
                x = rnd.choice(MIX)
                ws.append(x)
                n += len(x.encode('utf-8')) + 1
            res = go('mixed1mb', ws, 40, False)
        faults, secs, kb, pages = res
        bad += bool(faults)
        print('FAIL' if faults else 'ok  ', w, f'{len(ws)} words, {pages} pages, {secs} s, {kb // 1024} MB peak',
              '; '.join(faults)[:900])
        sys.stdout.flush()
    sys.exit(1 if bad else 0)


main()
