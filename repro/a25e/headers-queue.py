#!/usr/bin/env python3
"""headers.py's cases on the bordered CUPS queue (printable area 18,36 to 577,806 pt) and through
Qt's engine: text top and foot per page, to set beside the direct writer's."""
import sys
from lib import *
src = open(os.path.dirname(os.path.abspath(__file__)) + '/headers.py').read().split('\nfor name in')[0]
ns = {}
exec(src, ns)
for name in (sys.argv[1:] or ['tall-header', 'tall-footer', 'headery0', 'landscape-tall-header']):
    for printer, env in [(os.environ['QUEUE'], {}), ('Corvane PDF', {'CORVANE_QT_TEXT_ONLY': '1'})]:
        pdf, out, s, kb = run(ns['CASES'][name], 'hq-' + name + env.get('CORVANE_QT_TEXT_ONLY', 'q'), printer=printer, env=env)
        print(f'== {name} on {printer} {env}: {out.strip()}')
        for i, t in enumerate(ns['tops'](pdf) if pdf else []):
            print('  ', i + 1, t)
        if pdf:
            print('  geometry faults:', geometry_faults(pages(pdf))[:4])
