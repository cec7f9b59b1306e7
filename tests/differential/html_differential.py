#!/usr/bin/env python3
"""Corvane's HTML printing beside an independent browser's, Chromium's.

A handful of pages written here (with and without @page, A4, A5 and Letter, landscape, long
enough for several pages, a table) are printed by Corvane (PrintHTMLDocument to the built-in
printer "Corvane PDF") and by Chromium (headless, --print-to-pdf, no header or footer). From
`pdftotext -bbox` of the two PDFs it compares:

  words       the same words in the same order (line by line, left to right)
  pages       the same page count, and each page starting with the same word
  paper       the same page size, within 1 pt
  first word  the first word's top left corner within 2 pt of Chromium's

Chromium's own paper is Letter where Corvane's is A4, so a page that names no paper is handed
to Chromium with `@page { size: A4 }` put before it, and nothing else: both lay it out on A4
with their default margins. Every disagreement is printed with the figures; the run fails on
any. Without chromium it is skipped (exit status 77).

  html_differential.py --corvane build/bin/corvane [--only NAME] [--keep DIR]
"""

import argparse
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77

LOREM = ("Printing a page as a browser prints it means the same paper, the same margins and "
         "the same breaks between pages, so that what the caller sees on the screen and in "
         "the browser's own print is what comes out of the printer. ")


def lines(count, text="Line {} of the page"):
    return "".join(f"<p>{html.escape(text.format(i))}</p>\n" for i in range(1, count + 1))


def table(rows):
    cells = "".join(f"<tr><td>Item {i}</td><td>Quantity {i * 3}</td><td>Price {i * 7}.50</td></tr>\n"
                    for i in range(1, rows + 1))
    return f"<table border='1'><tr><th>Item</th><th>Quantity</th><th>Price</th></tr>\n{cells}</table>"


# (name, style or None for a page that names no paper, body)
PAGES = [
    ("default-short", None, "<h1>Quarterly report</h1>" + lines(5)),
    ("default-long", None, lines(120, "Line {} of the long page")),
    ("a5-landscape-30mm", "@page { size: A5 landscape; margin: 30mm }", lines(30)),
    ("letter-wrapped", "@page { size: letter; margin: 1in 0.75in }", "<p>" + LOREM * 40 + "</p>"),
    ("a4-landscape-table", "@page { size: A4 landscape }", "<h2>Stock</h2>" + table(40)),
    ("a4-print-media-margins", "@page { size: A4 } @media print { @page { margin: 2cm 15mm } }",
     "<h1>Minutes</h1>" + lines(70)),
]


class ToolFailure(Exception):
    pass


def run(cmd, env, timeout):
    try:
        return subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                              text=True)
    except subprocess.TimeoutExpired:
        raise ToolFailure(f"{cmd[0]} took longer than {timeout} s: {' '.join(cmd)}")


def write_page(path, style, body):
    head = f"<style>{style}</style>" if style else ""
    with open(path, "w", encoding="utf-8") as f:
        f.write(f"<!DOCTYPE html><html><head><meta charset='utf-8'>{head}</head><body>{body}</body></html>")


def corvane_print(corvane, env, page, pdf_dir):
    os.makedirs(pdf_dir)
    p = run([corvane, "SetPrinter", "Corvane PDF", "--", "PrintHTMLDocument", page], dict(env, CORVANE_PDF_DIR=pdf_dir),
            60)
    pdfs = sorted(f for f in os.listdir(pdf_dir) if f.endswith(".pdf"))
    if p.returncode != 0 or len(pdfs) != 1:
        raise ToolFailure(f"Corvane printed {len(pdfs)} PDF of {page} (exit {p.returncode}): {p.stderr.strip()[:300]}")
    return os.path.join(pdf_dir, pdfs[0])


def chromium_print(chromium, env, page, pdf, profile):
    p = run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", f"--user-data-dir={profile}",
             f"--print-to-pdf={pdf}", "--no-pdf-header-footer", "file://" + page], env, 60)
    if not os.path.exists(pdf):
        raise ToolFailure(f"Chromium printed no PDF of {page} (exit {p.returncode}): {p.stderr.strip()[-300:]}")
    return pdf


WORD = re.compile(r'<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="[-\d.]+" yMax="[-\d.]+">(.*?)</word>')
PAGE = re.compile(r'<page width="([\d.]+)" height="([\d.]+)">')


def read_pdf(pdf, env):
    """Pages as (width, height, [(word, x, y)])."""
    p = run(["pdftotext", "-bbox", pdf, "-"], env, 60)
    if p.returncode != 0:
        raise ToolFailure(f"pdftotext could not read {pdf}: {p.stderr.strip()}")
    pages = []
    for line in p.stdout.splitlines():
        m = PAGE.search(line)
        if m:
            pages.append((float(m.group(1)), float(m.group(2)), []))
            continue
        m = WORD.search(line)
        if m and pages:
            pages[-1][2].append((html.unescape(m.group(3)), float(m.group(1)), float(m.group(2))))
    # In reading order: line by line (tops within 2 pt are one line), left to right. pdftotext's
    # own order follows how the content is drawn, which differs between the two for a table.
    for _, _, words in pages:
        words.sort(key=lambda w: (w[2], w[1]))
        line_top = None
        for i, (_, _, y) in enumerate(words):
            if line_top is None or y - line_top > 2:
                line_top = y
            words[i] = (words[i][0], words[i][1], words[i][2], line_top)
        words.sort(key=lambda w: (w[3], w[1]))
        words[:] = [w[:3] for w in words]
    return pages


def compare(name, corvane_pages, chromium_pages):
    """Disagreements, and a line of figures."""
    found = []
    cv_words = [w for _, _, words in corvane_pages for w, _, _ in words]
    ch_words = [w for _, _, words in chromium_pages for w, _, _ in words]
    if cv_words != ch_words:
        at = next((i for i, (a, b) in enumerate(zip(cv_words, ch_words)) if a != b), min(len(cv_words), len(ch_words)))
        found.append(f"words differ from word {at + 1}: Corvane {cv_words[at:at + 5]}, Chromium {ch_words[at:at + 5]} "
                     f"({len(cv_words)} and {len(ch_words)} words)")
    if len(corvane_pages) != len(chromium_pages):
        found.append(f"pages: Corvane {len(corvane_pages)}, Chromium {len(chromium_pages)}")
    for n, (cv, ch) in enumerate(zip(corvane_pages, chromium_pages), 1):
        if abs(cv[0] - ch[0]) > 1 or abs(cv[1] - ch[1]) > 1:
            found.append(f"page {n} size: Corvane {cv[0]:.1f} x {cv[1]:.1f}, Chromium {ch[0]:.1f} x {ch[1]:.1f}")
        first_cv = cv[2][0][0] if cv[2] else None
        first_ch = ch[2][0][0] if ch[2] else None
        if first_cv != first_ch:
            found.append(f"page {n} starts with {first_cv!r} in Corvane, {first_ch!r} in Chromium")
    figures = f"{len(corvane_pages)} pages (Chromium {len(chromium_pages)})"
    if corvane_pages and chromium_pages and corvane_pages[0][2] and chromium_pages[0][2]:
        _, cx, cy = corvane_pages[0][2][0]
        _, hx, hy = chromium_pages[0][2][0]
        figures += (f", {corvane_pages[0][0]:.1f} x {corvane_pages[0][1]:.1f} pt, first word at ({cx:.2f}, {cy:.2f}) "
                    f"(Chromium ({hx:.2f}, {hy:.2f}); off by {cx - hx:+.2f}, {cy - hy:+.2f})")
        if abs(cx - hx) > 2 or abs(cy - hy) > 2:
            found.append(f"first word at ({cx:.2f}, {cy:.2f}) in Corvane, ({hx:.2f}, {hy:.2f}) in Chromium")
    else:
        found.append("a PDF without words")
    return found, figures


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--corvane", required=True, help="the built command-line tool")
    ap.add_argument("--only", action="append", help="page name (repeatable)")
    ap.add_argument("--keep", help="folder to keep the pages and PDFs in")
    args = ap.parse_args()

    pages = PAGES
    if args.only:
        unknown = set(args.only) - {p[0] for p in PAGES}
        if unknown:
            ap.error(f"no page {', '.join(sorted(unknown))}")
        pages = [p for p in PAGES if p[0] in args.only]

    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("html_differential: skipped: chromium is not installed (scripts/setup.sh installs it)", file=sys.stderr)
        return SKIPPED
    if not shutil.which("pdftotext"):
        print("html_differential: pdftotext is not installed (scripts/setup.sh installs it)", file=sys.stderr)
        return 2
    corvane = os.path.abspath(args.corvane)
    if not os.access(corvane, os.X_OK):
        print(f"html_differential: no tool at {corvane}", file=sys.stderr)
        return 2

    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="corvane-htmldiff.")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(work, "home"))
    env.setdefault("XDG_RUNTIME_DIR", os.path.join(work, "runtime"))
    os.makedirs(env["HOME"])
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    failures = 0
    try:
        for name, style, body in pages:
            page = os.path.join(work, name + ".html")
            write_page(page, style, body)
            reference = page
            if style is None:
                reference = os.path.join(work, name + "-a4.html")
                write_page(reference, "@page { size: A4 }", body)
            cv_pdf = corvane_print(corvane, env, page, os.path.join(work, "corvane-" + name))
            ch_pdf = chromium_print(chromium, env, reference, os.path.join(work, name + "-chromium.pdf"),
                                    os.path.join(work, "chromium-profile"))
            found, figures = compare(name, read_pdf(cv_pdf, env), read_pdf(ch_pdf, env))
            print(f"{name:24} {figures}")
            for f in found:
                print(f"    {f}")
            failures += bool(found)
    except ToolFailure as e:
        print(f"html_differential: {e}", file=sys.stderr)
        return 2
    finally:
        if args.keep:
            shutil.copytree(work, args.keep, dirs_exist_ok=True, ignore=shutil.ignore_patterns("chromium-profile", "home"))
            print(f"kept in {args.keep}")
        shutil.rmtree(work, ignore_errors=True)
    print(f"{len(pages) - failures} of {len(pages)} pages print as Chromium prints them "
          f"({time.monotonic() - started:.0f} s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
