"""Helpers for the a34 attacks: a33's (RTF heads, jobs, pdftotext read-back, ink checks), with
output under /tmp/a34 unless A says otherwise."""
import importlib.util, os

os.environ.setdefault('A', '/tmp/a34')
_spec = importlib.util.spec_from_file_location('a33lib', os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'a33', 'lib.py'))
_lib = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_lib)
globals().update({k: v for k, v in vars(_lib).items() if not k.startswith('__')})
