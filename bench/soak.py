#!/usr/bin/env python3
"""A long-lived worker: one process prints HTML invoices, then mixed jobs (text, rich text, plain
text, HTML, PDF), through the Python module, as a print server's worker does. Every 100 jobs it
prints the resident memory (RSS) and the open descriptors, and checks that exactly the jobs asked
for came out as PDFs (deleted as it goes).

    soak.py [HTML_JOBS] [MIXED_JOBS]      (PYTHONPATH names the module; CORVANE_PDF_DIR a folder)
"""
import os
import sys
import time

import corvane


def rss_mib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def descriptors():
    return len(os.listdir("/proc/self/fd"))


class Errors:
    def __init__(self):
        self.errors = []

    def OnPrintError(self, number, description):
        self.errors.append((number, description))


def main():
    html_jobs = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    mixed_jobs = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    folder = os.environ["CORVANE_PDF_DIR"]
    doc = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Errors)
    doc.SetPrinter("Corvane PDF")
    sample_pdf = os.path.join(folder, "..", "soak-sample.pdf")
    doc.DocText = "sample"
    doc.PrintDoc()
    first = sorted(os.listdir(folder))[0]
    os.replace(os.path.join(folder, first), sample_pdf)

    def invoice(n):
        return (f"<html><body><h1>Invoice {n}</h1><p>Customer {n}</p><table>"
                + "".join(f"<tr><td>Item {i}</td><td>{i}</td><td>{i * 1.5:.2f}</td></tr>" for i in range(20))
                + "</table></body></html>")

    def job(kind, n):
        if kind == "html":
            doc.PrintHTMLDocFromSource(invoice(n))
            return corvane.WaitForHtmlPrints(60)
        if kind == "text":
            doc.FileName = ""
            doc.DocText = f"Text job {n}\r\n" + "words " * 200
            return doc.PrintDoc() is None
        if kind == "rtf":
            return doc.PrintRTFData(r"{\rtf1\ansi{\b Rich} job " + str(n) + r"\par}") is None
        if kind == "plain":
            return doc.PrintText(f"Plain job {n}") is None
        doc.PrintPDFFile(sample_pdf)
        return True

    print("| jobs | kind | RSS MiB | descriptors | s per job |")
    print("|------|------|---------|-------------|-----------|")
    ok = True
    done = 0
    baseline = None
    for phase, count, kinds in (("html", html_jobs, ["html"]), ("mixed", mixed_jobs, ["text", "rtf", "plain", "html", "pdf"])):
        start = time.monotonic()
        for n in range(1, count + 1):
            ok = job(kinds[n % len(kinds)], n) and ok
            done += 1
            if n == 20 and phase == "html":
                baseline = rss_mib()
            if n % 100 == 0:
                made = [f for f in os.listdir(folder) if f.endswith(".pdf")]
                if len(made) != 100 or doc._handler.errors:
                    print(f"after {done} jobs: {len(made)} PDFs for 100 jobs, errors {doc._handler.errors[:3]}")
                    ok = False
                for f in made:
                    os.remove(os.path.join(folder, f))
                doc._handler.errors.clear()
                print(f"| {done:4d} | {phase:5s} | {rss_mib():7.1f} | {descriptors():11d} | "
                      f"{(time.monotonic() - start) / n:9.4f} |", flush=True)
    print(f"RSS after 20 HTML jobs {baseline:.1f} MiB, at the end {rss_mib():.1f} MiB")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
