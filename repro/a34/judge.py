"""Judging pdftotext output against the words put in, for the a34 attacks.
rlm_faults(t): U+200F that stand anywhere but at the logical end of a right-to-left run ending in
a mark (the character before it a mark, and no right-to-left letter after it on its line before a
left-to-right letter or the line's end). compare(got, want): 'exact', 'ws' (equal once the spaces
next to right-to-left characters are dropped: poppler's default mode drops the space between a
right-to-left word and a left-to-right word after it, for any writer's PDF), 'canon' (equal after
canonical decomposition), 'order' (the same words, each intact with its marks, in another order:
poppler's own line bidi, e.g. brackets, quotes and commas around right-to-left words, digits
after them, a line that starts right to left; the same with Qt's PDF engine) or 'wrong'."""
import re, unicodedata

RTL = re.compile('[\u0590-\u05ff\u0600-\u08ff\ufb1d-\ufdff\ufe70-\ufeff]')


def is_mark(c):
    return unicodedata.category(c) in ('Mn', 'Me')


def strong(c):
    b = unicodedata.bidirectional(c)
    return 1 if b in ('R', 'AL') else -1 if b == 'L' else 0


def rlm_split(t):
    """(text without allowed U+200F, number allowed, list of faults (context))."""
    out, allowed, faults = [], 0, []
    for line in t.split('\n'):
        line = re.sub('[\u202a-\u202e]', '', line)
        keep = []
        for i, c in enumerate(line):
            if c != '\u200f':
                keep.append(c)
                continue
            prev = line[i - 1] if i else ''
            nxt = 0
            for d in line[i + 1:]:
                if d == '\u200f':
                    continue
                nxt = strong(d)
                if nxt:
                    break
            if prev and is_mark(prev) and nxt <= 0:
                allowed += 1
            else:
                faults.append(repr(line[max(0, i - 6):i + 6]))
        out.append(''.join(keep))
    return '\n'.join(out), allowed, faults


def clean(t):
    t = re.sub('[\u202a-\u202e]', '', t)
    return ' '.join(t.split())


def compare(got, want):
    if got == want:
        return 'exact'
    rtl = '[\u0590-\u08ff\ufb1d-\ufdff\ufe70-\ufeff]'
    gap = lambda s: re.sub('(?<=' + rtl + ') | (?=' + rtl + ')', '', s)
    if gap(got) == gap(want):
        return 'ws'
    nfd = lambda s: unicodedata.normalize('NFD', s)
    if nfd(got) == nfd(want):
        return 'canon'
    if sorted(tokens(got)) == sorted(tokens(want)):
        return 'order'
    return 'wrong'


MARKS = '\u0591-\u05c7\u0610-\u061a\u064b-\u065f\u0670\u06d6-\u06ed\u0640\u200c\u200d\ufe0e\ufe0f\u20e3\U000e0000-\U000e01ef'


def tokens(s):
    """Runs of letters, digits and marks: a word whose mark moved or that was cut differs."""
    out = []
    for t in re.findall('(?:[^\\W_]|[' + MARKS + '])+', s):
        out += re.findall('[\u0590-\u08ff\ufb1d-\ufdff\ufe70-\ufefe]+|[^\u0590-\u08ff\ufb1d-\ufdff\ufe70-\ufefe]+', t)
    return out


def cps(s):
    return ' '.join('%04X' % ord(c) for c in s)
