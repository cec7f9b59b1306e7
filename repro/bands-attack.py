#!/usr/bin/env python3
"""Column bands, notes in columns, landscape documents and headers on a bordered printer, each
case with its outcome worked out beforehand (Times New Roman 12 pt lines are 14 pt apart: 49
lines on A4 between 1-inch margins, text from 72 to 770 pt; a one-line note takes one line of
text and sits at 756 pt; two columns with \\colsx720 start at 72 and 315.5 pt, the rule
between them at 297.5 pt). Prints "PASS name" or "FAIL name: why" per case and a count.
Usage (after `source repro/bands-env.sh`): repro/bands-attack.py [CASE...]"""
import sys
import bandlib as B

L = lambda p, n, s=0: ''.join(r'\pard %s%03d\par' % (p, i) for i in range(s, s + n))
W = lambda p, n, s=0: ['%s%03d' % (p, i) for i in range(s, s + n)]
NOTE = lambda w: r'{\super\chftn}{\footnote\pard\plain\f0\fs24{\super\chftn} %s\par}' % w
CASES = {}
results = []


def case(f):
    CASES[f.__name__] = f
    return f


def expect_pages(name, pdf, want, out, strip_marks=True):
    """want: list of pages, each the words expected in the order pdftotext -raw reads them is not
    asked; compared as sorted lists (note marks "1", "2" included as written)."""
    faults = []
    if 'PrintComplete' not in out:
        faults.append('no PrintComplete: ' + out.strip()[:200])
    if not pdf:
        return faults + ['no PDF']
    pg = B.pages(pdf)
    if len(pg) != len(want):
        faults.append(f'{len(pg)} pages, expected {len(want)}')
    for i, (w, h, ws) in enumerate(pg):
        got = sorted(t for t, *_ in ws)
        exp = sorted(want[i]) if i < len(want) else []
        if got != exp:
            missing = sorted(set(exp) - set(got))[:8]
            extra = sorted(set(got) - set(exp))[:8]
            faults.append(f'page {i + 1}: missing {missing} extra {extra} ({len(got)} words, expected {len(exp)})')
    allw = sorted(t for p in pg for t, *_ in p[2]); allx = sorted(t for p in want for t in p)
    lost = sorted(set(allx) - set(allw))
    doubled = sorted(t for t in set(allw) if allw.count(t) > allx.count(t))
    if lost or doubled:
        faults.insert(0, f'words lost {lost[:8]} doubled {doubled[:8]}')
    faults += B.geometry_faults(pg)
    return faults


def word_at(pdf, word):
    for n, (w, h, ws) in enumerate(B.pages(pdf), 1):
        for t, x0, y0, x1, y1 in ws:
            if t == word:
                return n, x0, y0, x1, y1
    return None


@case
def rule_beside_band_only():
    # A heading, a band of two columns with a line between them (aa1-aa4 in the first, bb1 in
    # the second), then forty words across the page: the line runs from the band's top (86) to
    # its foot (114), not through the text below it.
    tail = ' '.join('tail%02d' % i for i in range(40))
    rtf = B.HEAD + (r'\sectd\pard Heading\sect\sectd\sbknone\cols2\linebetcol\pard aa1 aa2 aa3\par\pard aa4'
                    r'\column bb1\sect\sectd\sbknone\pard ' + tail + r'\par}')
    pdf, out, *_ = B.run(rtf, 'rule_beside_band_only')
    f = expect_pages('', pdf, [['Heading', 'aa1', 'aa2', 'aa3', 'aa4', 'bb1'] + ['tail%02d' % i for i in range(40)]], out)
    rules = B.lines(pdf)  # (Qt's engine fills its lines' outlines: none found there; the pixels tell)
    if rules and (len(rules) != 1 or abs(rules[0][1] - 297.5) > 1 or abs(rules[0][2] - 86) > 2 or abs(rules[0][4] - 114) > 2):
        f.append(f'rules {rules}, expected one at x=297.5 from y=86 to y=114')
    if B.dark(pdf, 1, [(297, 100)])[0] > 128:
        f.append('no rule beside the band (x=297, y=100)')
    # Rendered: nothing at the middle of the page below the text (a line there is the rule).
    grey = B.dark(pdf, 1, [(297, 300), (297, 500), (297, 700)])
    if min(grey) < 128:
        f.append(f'drawn at x=297, y=300/500/700 (grey {grey}): the rule goes on below the band')
    for t in ('tail07', 'tail21', 'tail35'):
        _, x0, y0, x1, y1 = word_at(pdf, t) or (0, 0, 0, 0, 0)
        if any(r[1] > x0 and r[1] < x1 and r[2] < y1 and r[4] > y0 for r in rules):
            f.append(f'the rule strikes through {t} at {x0:.1f}-{x1:.1f},{y0:.1f}')
    return f


@case
def band_space_before_lost():
    # 48 lines, then a band whose first paragraph has 50 pt of space before it: its line would
    # end at 72+672+50+14 = 808, below the margin (770) and over the footer (792-806), so the
    # band starts page 2. Every word printed, once, inside the margins.
    rtf = B.HEAD + r'{\footer\pard FOOTA\par}\sectd ' + L('T', 47) + \
        r'\pard T047\sect\sectd\sbknone\cols2\pard\sb1000 BAND1 BAND2\par\pard BAND3\par}'
    pdf, out, *_ = B.run(rtf, 'band_space_before_lost')
    f = expect_pages('', pdf, [W('T', 48) + ['FOOTA'], ['BAND1', 'BAND2', 'BAND3', 'FOOTA']], out)
    return f


@case
def band_space_before_in_margin():
    # The same with 20 pt before: the line would reach 72+672+20+14 = 778 > 770: page 2.
    rtf = B.HEAD + r'\sectd ' + L('T', 47) + r'\pard T047\sect\sectd\sbknone\cols2\pard\sb400 BAND1 BAND2\par\pard BAND3\par}'
    pdf, out, *_ = B.run(rtf, 'band_space_before_in_margin')
    f = expect_pages('', pdf, [W('T', 48), ['BAND1', 'BAND2', 'BAND3']], out)
    p = word_at(pdf, 'BAND1')
    if p and p[4] > 770.5:
        f.append(f'BAND1 ends at {p[4]:.1f}, below the bottom margin (770) on page {p[0]}')
    return f


@case
def band_first_line_over_note():
    # 48 lines with a one-line note marked on the first: the note leaves the text 72-744. The
    # band's first line (16 pt) would stand at 744-762, over the note (756-770): page 2.
    rtf = B.HEAD + r'\sectd \pard T000' + NOTE('noteword') + r'\par' + L('T', 46, 1) + \
        r'\pard T047\sect\sectd\sbknone\cols2\pard\fs32 BANDA BANDB\par\pard BAND3\par}'
    pdf, out, *_ = B.run(rtf, 'band_first_line_over_note')
    # T000 carries its mark "1" (a word of its own, raised), the note its own "1".
    return expect_pages('', pdf, [['T000', '1'] + W('T', 47, 1) + ['1', 'noteword'], ['BANDA', 'BANDB', 'BAND3']], out)


@case
def two_notes_in_second_column():
    # Two columns: A000-A048 fill the first, B000 (note 1), B001-B020, C000 (note 2), C001-C003
    # follow in the second. Two one-line notes leave 47 lines a column: A000-A046 | A047, A048,
    # B000-B020, C000-C003 (28 lines), the notes at the foot: one page.
    rtf = B.HEAD + r'\sectd\cols2 ' + L('A', 49) + r'\pard B000' + NOTE('notetwo') + r'\par' + L('B', 20, 1) + \
        r'\pard C000' + NOTE('notethree') + r'\par' + L('C', 3, 1) + '}'
    pdf, out, *_ = B.run(rtf, 'two_notes_in_second_column')
    want = W('A', 49) + ['B000', '1'] + W('B', 20, 1) + ['C000', '2'] + W('C', 3, 1) + ['1', 'notetwo', '2', 'notethree']
    f = expect_pages('', pdf, [want], out)
    p = word_at(pdf, 'A048')
    if p and (p[0], round(p[1]), round(p[2])) != (1, 316, 86):
        f.append(f'A048 on page {p[0]} at {p[1]:.0f},{p[2]:.0f}, expected page 1 at 316,86 (second line of column 2)')
    return f


@case
def notes_in_second_and_third_columns():
    # Three columns: A000-A048, then B000 (note 1) and B001-B048, then C000 (note 2), C001-C003.
    # Two notes: 47 lines a column: A000-A046 | A047 A048 B000-B044 | B045-B048 C000-C003: one page.
    rtf = B.HEAD + r'\sectd\cols3 ' + L('A', 49) + r'\pard B000' + NOTE('notetwo') + r'\par' + L('B', 48, 1) + \
        r'\pard C000' + NOTE('notethree') + r'\par' + L('C', 3, 1) + '}'
    pdf, out, *_ = B.run(rtf, 'notes_in_second_and_third_columns')
    want = W('A', 49) + ['B000', '1'] + W('B', 48, 1) + ['C000', '2'] + W('C', 3, 1) + ['1', 'notetwo', '2', 'notethree']
    return expect_pages('', pdf, [want], out)


HF = r'{\header\pard Hd\par}{\footer\pard Ft\par}'


def turned_on_queue(name, env=None, printer='Corvane PDF'):
    # A landscape page turned onto A4: text 451 pt tall (32 lines), the header's first line 36 pt
    # from the turned page's top, the footer's last line 36 pt above its foot: on a sheet drawn
    # turned, x is down the turned page: the body from 72, Hd at 36, Ft at 595-36-14 = 545.
    rtf = B.HEAD + HF + r'\sectd\lndscpsxn ' + L('W', 40) + '}'
    pdf, out, *_ = B.run(rtf, name, printer=printer, env=env)
    f = expect_pages('', pdf, [W('W', 32) + ['Hd', 'Ft'], W('W', 8, 32) + ['Hd', 'Ft']], out)
    if pdf:
        for word, want in (('Hd', 36), ('Ft', 545), ('W000', 72)):
            p = word_at(pdf, word)
            if p and abs(p[1] - want) > 1:
                f.append(f'{word} at x={p[1]:.1f}, expected {want}')
    return f


@case
def turned_qt_engine_corvane_pdf():
    return turned_on_queue('turned_qt_engine_corvane_pdf', env={'CORVANE_QT_TEXT_ONLY': '1'})


@case
def turned_bordered_queue():
    return turned_on_queue('turned_bordered_queue', printer=B.QUEUE)


@case
def band_first_paragraph_goes_on_in_second_column():
    # 41 lines (72-646), then a band of two columns whose first paragraph is 200 words, seven a
    # line (each word 24.3 pt and a space in a 207.5 pt column): 8 lines fit in the first column
    # (646-758), the next 8 (p056-p111) in the second column beside them, the rest (p112-p199,
    # 13 lines) and A001 in the first column of page 2.
    P = ['p%03d' % i for i in range(200)]
    rtf = B.HEAD + r'\sectd ' + L('H', 40) + r'\pard H040\sect\sectd\sbknone\cols2\pard ' + ' '.join(P) + r'\par\pard A001\par}'
    pdf, out, *_ = B.run(rtf, 'band_first_paragraph_goes_on_in_second_column')
    f = expect_pages('', pdf, [W('H', 41) + P[:112], P[112:] + ['A001']], out)
    p = word_at(pdf, 'p056')
    if p and (p[0], round(p[1]), round(p[2])) != (1, 316, 646):
        f.append(f'p056 on page {p[0]} at {p[1]:.0f},{p[2]:.0f}, expected page 1 at 316,646 (top of the band\'s second column)')
    return f


@case
def band_note_keeps_text_above():
    # 40 lines of one column (72-632), then a band whose first line carries a note of 17 lines
    # (238 pt with its gap): the line and its note cannot stand below the 40 lines, so the band
    # starts page 2 with its note; all 40 lines stay on page 1.
    big = r'{\super\chftn}{\footnote\pard\plain\f0\fs24{\super\chftn} ' + ''.join(r'nl%02d\par\pard ' % i for i in range(15)) + r'end\par}'
    rtf = B.HEAD + r'\sectd ' + L('H', 39) + r'\pard H039\sect\sectd\sbknone\cols2\pard A000' + big + r'\par' + L('A', 5, 1) + '}'
    pdf, out, *_ = B.run(rtf, 'band_note_keeps_text_above')
    return expect_pages('', pdf, [W('H', 40), W('A', 6) + ['1', '1'] + ['nl%02d' % i for i in range(15)] + ['end']], out)


@case
def huge_letters_in_columns():
    # Two words of 500 pt letters in two columns: each letter (250-280 pt) is wider than the
    # 207.5 pt column; every letter must still print, on the page (one page a letter or so), and
    # the text read back must hold the eight letters h040h041 in order.
    rtf = B.HEAD + r'\sectd\cols2\pard\fs1000 h040 h041\par}'
    pdf, out, *_ = B.run(rtf, 'huge_letters_in_columns')
    f = [] if 'PrintComplete' in out else ['no PrintComplete']
    got = ''.join(B.raw_words(pdf)) if pdf else ''
    if got != 'h040h041':
        f.append(f'read back {got!r}, expected the letters h040h041')
    f += B.geometry_faults(B.pages(pdf)) if pdf else ['no PDF']
    return f


@case
def split_paragraph_reads_in_order():
    # 48 one-line paragraphs, then one of 40 words (about three lines) that the page's foot
    # divides, then Z000: read in the PDF's order (pdftotext -raw) the words come back as written.
    P = ['s%03d' % i for i in range(40)]
    rtf = B.HEAD + r'\sectd ' + L('T', 48) + r'\pard ' + ' '.join(P) + r'\par\pard Z000\par}'
    pdf, out, *_ = B.run(rtf, 'split_paragraph_reads_in_order')
    f = [] if 'PrintComplete' in out else ['no PrintComplete']
    raw = B.raw_words(pdf) if pdf else []
    want = W('T', 48) + P + ['Z000']
    if raw != want:
        i = next((i for i, (a, b) in enumerate(zip(raw, want)) if a != b), min(len(raw), len(want)))
        f.append(f'read back out of order from word {i}: {raw[i:i + 6]}, expected {want[i:i + 6]}')
    return f


@case
def split_paragraph_in_columns_reads_in_order():
    # The same in two columns: the long paragraph divided between the columns.
    P = ['s%03d' % i for i in range(40)]
    rtf = B.HEAD + r'\sectd\cols2 ' + L('T', 47) + r'\pard ' + ' '.join(P) + r'\par\pard Z000\par}'
    pdf, out, *_ = B.run(rtf, 'split_paragraph_in_columns_reads_in_order')
    f = [] if 'PrintComplete' in out else ['no PrintComplete']
    raw = B.raw_words(pdf) if pdf else []
    want = W('T', 47) + P + ['Z000']
    if raw != want:
        i = next((i for i, (a, b) in enumerate(zip(raw, want)) if a != b), min(len(raw), len(want)))
        f.append(f'read back out of order from word {i}: {raw[i:i + 6]}, expected {want[i:i + 6]}')
    return f


@case
def band_table_on_its_second_page_only():
    # Five lines and the empty paragraph \sect ends (72-156), then a band of two columns with
    # A000-A089 and a table after them. Below the five lines each column holds 43 lines
    # (156-758): A000-A042 | A043-A085 on page 1, which holds no table, so the band stands
    # there; A086-A089, the table and C000-C001 go on in the first column of page 2.
    TB = r'\trowd\cellx2000\cellx4000\pard\intbl t11\cell t12\cell\row\trowd\cellx2000\cellx4000\pard\intbl t21\cell t22\cell\row'
    rtf = B.HEAD + r'\sectd ' + L('H', 5) + r'\sect\sectd\sbknone\cols2 ' + L('A', 90) + TB + L('C', 2) + '}'
    pdf, out, *_ = B.run(rtf, 'band_table_on_its_second_page_only')
    return expect_pages('', pdf, [W('H', 5) + W('A', 86), W('A', 4, 86) + ['t11', 't12', 't21', 't22'] + W('C', 2)], out)


@case
def band_fills_first_column_before_tail():
    # H000-H020 (72-366), a band of two columns with A000-A039, then three lines in one column.
    # Columns are not balanced: the first holds 28 lines (366-758), A000-A027, the second
    # A028-A039 (366-534); the tail's first line would stand at 72+686 to 784, below 770, so
    # it starts page 2.
    rtf = B.HEAD + r'\sectd ' + L('H', 20) + r'\pard H020\sect\sectd\sbknone\cols2 ' + L('A', 40) + \
        r'\sect\sectd\sbknone ' + L('T', 3) + '}'
    pdf, out, *_ = B.run(rtf, 'band_fills_first_column_before_tail')
    f = expect_pages('', pdf, [W('H', 21) + W('A', 40), W('T', 3)], out)
    p = word_at(pdf, 'A028')
    if p and (p[0], round(p[1]), round(p[2])) != (1, 316, 366):
        f.append(f'A028 on page {p[0]} at {p[1]:.0f},{p[2]:.0f}, expected page 1 at 316,366 (top of the second column)')
    return f


def turned_band_note_tail(name, head):
    # Turned pages 451 pt tall; H000-H020 (294 pt), then a band of two columns with A000-A035,
    # a note marked on A005 (26 pt at the foot: the columns end 425 pt down), then three
    # lines in one column. Page one: A000-A008 | A009-A017; the next: A018-A035 in the first
    # column (72-324), T000-T002 below them from 324.
    body = L('H', 20) + r'\pard H020\sect\sectd\sbknone\lndscpsxn\cols2 ' + L('A', 5) + r'\pard A005' + NOTE('lnote') + \
        r'\par' + L('A', 30, 6) + r'\sect\sectd\sbknone\lndscpsxn ' + L('T', 3) + '}'
    pdf, out, *_ = B.run(B.HEAD + head + body, name)
    first = [['P000']] if 'P000' in head else []
    f = expect_pages('', pdf, first + [W('H', 21) + W('A', 18) + ['1', '1', 'lnote'], W('A', 18, 18) + W('T', 3)], out)
    for word, at in (('A009', (439, 366)), ('A018', (72, 72)), ('T000', (72, 324))):
        p = word_at(pdf, word)
        if p and (round(p[1]), round(p[2])) != at:
            f.append(f'{word} on page {p[0]} at {p[1]:.0f},{p[2]:.0f}, expected {at}')
    return f


@case
def turned_band_note_tail_mixed():
    return turned_band_note_tail('turned_band_note_tail_mixed', r'\sectd\pard P000\sect\sectd\lndscpsxn ')


@case
def turned_band_note_tail_all():
    return turned_band_note_tail('turned_band_note_tail_all', r'\sectd\lndscpsxn ')


@case
def rule_stops_above_notes():
    # Two columns with a line between them and a two-line note at the foot (742-770, under its
    # short rule at 739): the line between the columns ends above the notes, striking no word.
    longnote = ' '.join('nw%02d' % i for i in range(30))
    rtf = B.HEAD + r'\sectd\cols2\linebetcol ' + L('A', 3) + r'\pard A003' + NOTE(longnote) + r'\par\column ' + L('B', 3) + '}'
    pdf, out, *_ = B.run(rtf, 'rule_stops_above_notes')
    f = expect_pages('', pdf, [W('A', 4) + ['1', '1'] + W('B', 3) + ['nw%02d' % i for i in range(30)]], out)
    rules = [r for r in B.lines(pdf) if abs(r[1] - r[3]) < 0.1 and abs(r[1] - 297.5) < 1]
    if len(rules) != 1 or rules[0][4] > 740:
        f.append(f'the line between the columns: {rules}, expected one ending above 740')
    for t, x0, y0, x1, y1 in B.pages(pdf)[0][2]:
        if any(x0 < r[1] < x1 and r[2] < y1 and r[4] > y0 for r in rules):
            f.append(f'the line strikes through {t} at {x0:.0f}-{x1:.0f},{y0:.0f}')
    return f


def turned_columns_notes(name, head):
    # Turned pages (451 pt) in two columns, x000-x199, one-line notes marked on x007 and x107:
    # a page with a note holds 30 lines a column, one without 32. Pages: x000-x029 | x030-x059
    # (note 1); x060-x089 | x090-x119 (note 2, marked in the second column); x120-x151 |
    # x152-x183; x184-x199.
    body = ''.join(r'\pard x%03d%s\par ' % (i, NOTE('fn%d' % (i // 100 + 1)) if i % 100 == 7 else '') for i in range(200))
    pdf, out, *_ = B.run(B.HEAD + head + body + '}', name)
    X = lambda a, b: ['x%03d' % i for i in range(a, b)]
    first = [['P000']] if 'P000' in head else []
    return expect_pages('', pdf, first + [X(0, 60) + ['1', '1', 'fn1'], X(60, 120) + ['2', '2', 'fn2'], X(120, 184), X(184, 200)], out)


@case
def turned_columns_notes_all():
    return turned_columns_notes('turned_columns_notes_all', r'\sectd\lndscpsxn\cols2 ')


@case
def turned_columns_notes_mixed():
    return turned_columns_notes('turned_columns_notes_mixed', r'\sectd\pard P000\sect\sectd\lndscpsxn\cols2 ')


@case
def band_chain_over_pages():
    # H000-H009 (72-212); two columns A000-A099: 39 lines a column below H (A000-A038 |
    # A039-A077), then A078-A099 in page 2's first column (72-380); three columns of ten lines
    # each (\column) below them from 380 (C000 at 72, C010 at 234.3, C020 at 396.7); one column
    # T000-T002 below those from 520.
    rtf = B.HEAD + r'\sectd ' + L('H', 9) + r'\pard H009\sect\sectd\sbknone\cols2 ' + L('A', 99) + r'\pard A099' + \
        r'\sect\sectd\sbknone\cols3 ' + L('C', 9) + r'\pard C009\column ' + L('C', 9, 10) + r'\pard C019\column ' + \
        L('C', 9, 20) + r'\pard C029\sect\sectd\sbknone ' + L('T', 3) + '}'
    pdf, out, *_ = B.run(rtf, 'band_chain_over_pages')
    f = expect_pages('', pdf, [W('H', 10) + W('A', 78), W('A', 22, 78) + W('C', 30) + W('T', 3)], out)
    for word, at in (('A039', (1, 316, 212)), ('A078', (2, 72, 72)), ('C000', (2, 72, 380)), ('C010', (2, 234, 380)),
                     ('C020', (2, 397, 380)), ('T000', (2, 72, 520))):
        p = word_at(pdf, word)
        if not p or (p[0], round(p[1]), round(p[2])) != at:
            f.append(f'{word} at {p and (p[0], round(p[1]), round(p[2]))}, expected {at}')
    return f


HDR = (r'{\header\pard Hd {\field{\*\fldinst PAGE}{\fldrslt 9}} of {\field{\*\fldinst NUMPAGES}{\fldrslt 9}}\par}'
       r'{\footer\pard Ft\par}')
# One column H000-H009 (72-212); three columns of ten lines each, set by \column (212-352);
# one column M000-M004 (352-422); two columns Y000-Y099 from 422: 24 lines a column there
# (Y000-Y023 | Y024-Y047), then 49 a column on page 2 (Y048-Y096 | Y097-Y099); then one
# column with a table, which starts page 3, and Z000-Z002.
BANDS_DOC = (B.HEAD + HDR + r'\sectd ' + L('H', 9) + r'\pard H009'
             + r'\sect\sectd\sbknone\cols3 ' + L('X', 9) + r'\pard X009\column ' + L('X', 9, 10) + r'\pard X019\column '
             + L('X', 9, 20) + r'\pard X029\sect\sectd\sbknone ' + L('M', 4) + r'\pard M004'
             + r'\sect\sectd\sbknone\cols2 ' + L('Y', 99) + r'\pard Y099\sect\sectd\sbknone '
             + r'\trowd\cellx3000\cellx6000\pard\intbl t11\cell t12\cell\row\trowd\cellx3000\cellx6000\pard\intbl t21\cell t22\cell\row'
             + L('Z', 3) + '}')
BANDS_PAGES = [['Hd', '1', 'of', '3', 'Ft'] + W('H', 10) + W('X', 30) + W('M', 5) + W('Y', 48),
               ['Hd', '2', 'of', '3', 'Ft'] + W('Y', 52, 48),
               ['Hd', '3', 'of', '3', 'Ft', 't11', 't12', 't21', 't22'] + W('Z', 3)]
BANDS_AT = {'H009': (1, 72, 198), 'X000': (1, 72, 212), 'X010': (1, 234.3, 212), 'X029': (1, 396.7, 338),
            'M000': (1, 72, 352), 'Y000': (1, 72, 422), 'Y023': (1, 72, 744), 'Y024': (1, 315.5, 422),
            'Y048': (2, 72, 72), 'Y097': (2, 315.5, 72), 't11': (3, None, 72)}  # (the cell's inner edge is not asked)


def bands_route(name, copies=1, env=None, printer='Corvane PDF'):
    pdf, out, *_ = B.run(BANDS_DOC, name, copies=copies, env=env, printer=printer)
    f = expect_pages('', pdf, BANDS_PAGES * copies, out)
    if pdf:
        pg = B.pages(pdf)
        for word, (page, x, y) in BANDS_AT.items():
            for c in range(copies):
                n = page + 3 * c
                hits = [r for r in (pg[n - 1][2] if n <= len(pg) else []) if r[0] == word]
                if not hits or (x is not None and abs(hits[0][1] - x) > 2) or abs(hits[0][2] - y) > 2:
                    f.append(f'{word} on page {n} at {[(round(h[1], 1), round(h[2], 1)) for h in hits]}, expected {x},{y}')
    return f


for _c in (1, 2, 3):
    for _route, _env, _printer in (('direct', None, 'Corvane PDF'), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'}, 'Corvane PDF'),
                                   ('queue', None, B.QUEUE)):
        def _f(_c=_c, _env=_env, _printer=_printer, _n=f'bands_{_route}_copies{_c}'):
            return bands_route(_n, _c, _env, _printer)
        _f.__name__ = f'bands_{_route}_copies{_c}'
        case(_f)


if __name__ == '__main__':
    names = sys.argv[1:] or list(CASES)
    bad = 0
    for n in names:
        f = CASES[n]()
        if f:
            bad += 1
            print(f'FAIL {n}: ' + '; '.join(f[:6]))
        else:
            print(f'PASS {n}')
    print(f'{len(names) - bad} passed, {bad} failed')
