from lib import *
for name, body in [('plain', u('arrows ⇄ ⇆ sum ∑ math ∀∃∈ end')), ('witharabic', u('arrows ⇄ ⇆ sum ∑ math ∀∃∈ end ب')),
                   ('dejavu', r'{\f4 ' + u('arrows ⇄ ⇆ sum ∑ math ∀∃∈ end') + '}')]:
    pdf, out, s, kb = run(HEAD + body + r'\par}', 't1-' + name)
    print(name, out.strip(), subprocess.run(['pdffonts', pdf], capture_output=True, text=True).stdout.split('\n')[2:])
    subprocess.run(['pdftoppm', '-r', '100', '-f', '1', '-l', '1', '-x', '90', '-y', '90', '-W', '500', '-H', '40', '-png', pdf, '/tmp/a25e/t1-' + name])
