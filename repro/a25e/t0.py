from lib import *
rtf = HEAD + u('Hello office fluffy world. Arabic: ') + u('مرحبا بالعالم') + r'\par}'
pdf, out, s, kb = run(rtf, 't0')
print(out, pdf, s, kb)
print(repr(text(pdf)))
