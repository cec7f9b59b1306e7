from lib import *
H = HEAD.replace('{\\f5 Courier New;}', '{\\f5 Courier New;}{\\f6 Nimbus Roman;}{\\f7 C059;}')
for name, body in [('nimbus', r'{\f6 ' + u('arrows ⇄ ⇆ end') + '}'), ('c059', r'{\f7 ' + u('arrows ⇄ ⇆ end') + '}'),
                   ('arial', r'{\f1 ' + u('arrows ⇄ ⇆ end') + '}')]:
    pdf, out, s, kb = run(H + body + r'\par}', 't2-' + name)
    print(name, out.strip(), subprocess.run(['pdffonts', pdf], capture_output=True, text=True).stdout.split('\n')[2:])
    subprocess.run(['pdftoppm', '-r', '100', '-f', '1', '-l', '1', '-x', '90', '-y', '90', '-W', '300', '-H', '40', '-png', pdf, '/tmp/a25e/t2-' + name])
