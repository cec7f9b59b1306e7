#!/usr/bin/env python3
"""The print server example under gunicorn with 4 workers: 40 invoices (half HTML, half plain
text) posted by 8 clients at once. Every answer is "printed", and there are exactly 40 new PDFs,
each holding exactly its own invoice number.

    print_server_test.py SOURCE_DIR MODULE_DIR [INVOICES CLIENTS FORMATS]

Prints the requests, the seconds and the requests per second."""
import concurrent.futures
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def post(port, number, fmt):
    body = urllib.parse.urlencode([("number", number), ("customer", f"Customer of {number}"),
                                   ("item", "Widget:2:9.50"), ("item", "Gadget:1:24.00"), ("format", fmt)]).encode()
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/invoice", body, timeout=180) as answer:
            return answer.read().decode().strip()
    except urllib.error.HTTPError as e:
        return e.read().decode().strip()


def bad_item(port):
    body = urllib.parse.urlencode([("number", "BAD-1"), ("item", "x:abc:def")]).encode()
    try:
        urllib.request.urlopen(f"http://127.0.0.1:{port}/invoice", body, timeout=60)
        return "printed"
    except urllib.error.HTTPError as e:
        return e.read().decode().strip()


def short_body(port):
    # Content-Length says 100; the client sends 14 bytes and stops writing.
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        s.sendall(b"POST /invoice HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n"
                  b"Content-Type: application/x-www-form-urlencoded\r\n\r\nnumber=SHORT-1")
        s.shutdown(socket.SHUT_WR)
        answer = b""
        while chunk := s.recv(4096):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    if b"chunked" in head.lower():
        text = b""
        while body:
            size, _, rest = body.partition(b"\r\n")
            n = int(size or b"0", 16)
            if n == 0:
                break
            text, body = text + rest[:n], rest[n + 2:]
        body = text
    return body.decode(errors="replace").strip()


def main():
    source, module_dir = sys.argv[1], sys.argv[2]
    invoices = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    clients = int(sys.argv[4]) if len(sys.argv) > 4 else 8
    formats = sys.argv[5].split(",") if len(sys.argv) > 5 else ["html", "text"]
    work = tempfile.mkdtemp(prefix="corvane-print-server-")
    pdf_dir = os.path.join(work, "pdf")
    os.makedirs(pdf_dir)
    env = dict(os.environ, CORVANE_PDF_DIR=pdf_dir, PYTHONPATH=module_dir, QT_QPA_PLATFORM="offscreen")
    port = free_port()
    server = subprocess.Popen(["/usr/bin/gunicorn", "--workers", "4", "--timeout", "300", "--bind",
                               f"127.0.0.1:{port}", "--chdir", os.path.join(source, "examples", "print_server"),
                               "app:application"], env=env, stdout=subprocess.DEVNULL,
                              stderr=open(os.path.join(work, "gunicorn.log"), "w"))
    try:
        for _ in range(300):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        numbers = [f"INV-{7000 + i}" for i in range(invoices)]
        start = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(clients) as pool:
            answers = list(pool.map(lambda i: post(port, numbers[i], formats[i % len(formats)]), range(invoices)))
        seconds = time.monotonic() - start
        # Requests that are not invoices print nothing and say why.
        refusals = [bad_item(port), short_body(port)]
    finally:
        server.terminate()
        server.wait(60)
    failed = [(n, a) for n, a in zip(numbers, answers) if a != "printed"]
    pdfs = sorted(os.path.join(pdf_dir, n) for n in os.listdir(pdf_dir) if n.endswith(".pdf"))
    found = {n: 0 for n in numbers}
    for pdf in pdfs:
        text = subprocess.run(["pdftotext", pdf, "-"], check=True, capture_output=True, text=True).stdout
        for word in text.split():
            if word in found:
                found[word] += 1
    # A text invoice names its number in the title and the footer; an HTML one in its heading.
    wrong = {n: c for n, c in found.items() if c == 0}
    print(f"{invoices} requests from {clients} clients in {seconds:.2f} s ({invoices / seconds:.2f} per second), "
          f"{len(pdfs)} PDFs, {sum(1 for c in found.values() if c)} invoice numbers found")
    expected = ["error 13 an item is not name:quantity:price", "error 62 the request ended before its length"]
    ok = not failed and len(pdfs) == invoices and not wrong and refusals == expected
    if refusals != expected:
        print("refusals:", refusals)
    # Each PDF holds exactly one invoice number: its own.
    for pdf in pdfs:
        text = subprocess.run(["pdftotext", pdf, "-"], check=True, capture_output=True, text=True).stdout
        held = {w for w in text.split() if w in found}
        if len(held) != 1:
            print(f"{pdf} holds {sorted(held)}")
            ok = False
    if failed:
        print("not printed:", failed[:5])
    if wrong:
        print("not found:", sorted(wrong)[:5])
    if not ok:
        print(open(os.path.join(work, "gunicorn.log")).read()[-3000:])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
