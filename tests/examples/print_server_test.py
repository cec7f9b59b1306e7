#!/usr/bin/env python3
"""The print server example under gunicorn, with sync workers (4 processes) and with threaded
workers (gthread: 2 processes of 4 threads): invoices (half HTML, half plain text) posted by 8
clients at once. Every invoice answered "printed" is in exactly one new PDF, alone, with its own
customer; every invoice answered with an error is in none; here every answer is "printed".
Requests that are not invoices (bad numbers, a body shorter than its length) are refused with
400 and print nothing.

    print_server_test.py SOURCE_DIR MODULE_DIR [INVOICES CLIENTS FORMATS MODES]

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


def customer_of(number):
    return f"Customer{number.replace('-', '')}"


def post(port, number, fmt):
    body = urllib.parse.urlencode([("number", number), ("customer", customer_of(number)),
                                   ("item", "Widget:2:9.50"), ("item", "Gadget:1:24.00"), ("format", fmt)]).encode()
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/invoice", body, timeout=180) as answer:
            return answer.read().decode().strip()
    except urllib.error.HTTPError as e:
        return e.read().decode().strip()


def bad_item(port, item):
    body = urllib.parse.urlencode([("number", "BAD-1"), ("item", item)]).encode()
    try:
        urllib.request.urlopen(f"http://127.0.0.1:{port}/invoice", body, timeout=60)
        return "printed"
    except urllib.error.HTTPError as e:
        return f"{e.code} {e.read().decode().strip()}"


def short_body(port, close):
    # Content-Length says 100; the client sends 14 bytes and stops writing (closing its side, or
    # keeping the connection open as a stalled client does).
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        s.sendall(b"POST /invoice HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n"
                  b"Content-Type: application/x-www-form-urlencoded\r\n\r\nnumber=SHORT-1")
        if close:
            s.shutdown(socket.SHUT_WR)
        answer = b""
        try:
            while chunk := s.recv(4096):
                answer += chunk
        except TimeoutError:
            return "no answer within 60 s"
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


def run(source, module_dir, mode, invoices, clients, formats):
    work = tempfile.mkdtemp(prefix="corvane-print-server-")
    pdf_dir = os.path.join(work, "pdf")
    os.makedirs(pdf_dir)
    env = dict(os.environ, CORVANE_PDF_DIR=pdf_dir, PYTHONPATH=module_dir, QT_QPA_PLATFORM="offscreen")
    port = free_port()
    workers = ["--workers", "4"] if mode == "sync" else ["--workers", "2", "--threads", "4", "--preload"]
    server = subprocess.Popen(["/usr/bin/gunicorn", *workers, "--timeout", "300", "--bind", f"127.0.0.1:{port}",
                               "--chdir", os.path.join(source, "examples", "print_server"), "app:application"],
                              env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "gunicorn.log"), "w"))
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
        refusals = [bad_item(port, item) for item in ("x:abc:def", "x:1:nan", "x:1:inf", "x:1:1e308", "x:-5:2")]
        stall_start = time.monotonic()
        refusals += [short_body(port, True), short_body(port, False)]
        stall_seconds = time.monotonic() - stall_start
    finally:
        server.terminate()
        server.wait(60)
    pdfs = sorted(os.path.join(pdf_dir, n) for n in os.listdir(pdf_dir) if n.endswith(".pdf"))
    printed = {n for n, a in zip(numbers, answers) if a == "printed"}
    where = {n: [] for n in numbers}
    ok = True
    for pdf in pdfs:
        words = subprocess.run(["pdftotext", pdf, "-"], check=True, capture_output=True, text=True).stdout.split()
        held = {w for w in words if w in where}
        customers = {w for w in words if w.startswith("CustomerINV")}
        # Each PDF holds exactly one invoice, with its own customer and no other.
        if len(held) != 1 or customers - {customer_of(n) for n in held}:
            print(f"{mode}: {pdf} holds {sorted(held)} with {sorted(customers)}")
            ok = False
        for n in held:
            where[n].append(pdf)
    twice = {n: p for n, p in where.items() if len(p) > 1}
    lost = sorted(n for n in printed if not where[n])
    ghosts = sorted(n for n in numbers if n not in printed and where[n])
    print(f"{mode}: {invoices} requests from {clients} clients in {seconds:.2f} s ({invoices / seconds:.2f} per "
          f"second), {len(pdfs)} PDFs, {len(printed)} answered printed; the stalled request answered in "
          f"{stall_seconds:.1f} s")
    expected = ["400 error 13 an item is not name:quantity:price (a quantity from 1, a price from 0)"] * 5 + [
        "error 62 the request ended before its length"] * 2
    # Here every invoice prints; the counts above hold for any answer.
    if len(printed) != invoices or twice or lost or ghosts or len(pdfs) != invoices or refusals[:5] != expected[:5] \
            or not all(r.endswith(expected[5]) for r in refusals[5:]):
        ok = False
        print(f"{mode}: not printed {sorted(set(numbers) - printed)[:5]} {[a for a in answers if a != 'printed'][:3]}"
              f" twice {list(twice)[:5]} lost {lost[:5]} in a PDF though refused {ghosts[:5]} refusals {refusals}")
    if not ok:
        print(open(os.path.join(work, "gunicorn.log")).read()[-3000:])
    return ok


def main():
    source, module_dir = sys.argv[1], sys.argv[2]
    invoices = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    clients = int(sys.argv[4]) if len(sys.argv) > 4 else 8
    formats = sys.argv[5].split(",") if len(sys.argv) > 5 else ["html", "text"]
    modes = sys.argv[6].split(",") if len(sys.argv) > 6 else ["sync", "gthread"]
    results = [run(source, module_dir, mode, invoices, clients, formats) for mode in modes]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
