#!/usr/bin/env python3
"""Soft hyphens (\\- and U+00AD) in long words of a narrow paragraph (2 inches): lines break at them
and show a hyphen there, words are not cut elsewhere, and the text reads the words whole.
Prints each line (pdftotext -layout) and the visible text for the direct writer, Qt's engine and
LibreOffice."""
from lib import *
word = r'Donau\-dampf\-schiff\-fahrts\-gesell\-schaft'
for name, body in [('rtf-dash', r'\pard\ri6000 alpha ' + word + ' ' + word + r' omega\par'),
                   ('u00ad', r'\pard\ri6000 alpha ' + word.replace(r'\-', r'\u173?') + ' ' + word.replace(r'\-', r'\u173?') + r' omega\par'),
                   ('bold-run', r'\pard\ri6000 alpha {\b ' + word + '} ' + word + r' omega\par')]:
    rtf = HEAD + body + '}'
    for path, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'}), ('lo', None)]:
        pdf = lo_pdf(rtf, 'sh-' + name) if env is None else run(rtf, f'sh-{name}-{path}', env=env)[0]
        t = subprocess.run(['pdftotext', '-layout', pdf, '-'], capture_output=True, text=True).stdout
        print(f'{name} {path}: ' + ' / '.join(l.strip() for l in t.splitlines() if l.strip()))
