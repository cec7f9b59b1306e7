"""A print server: a WSGI application that prints an invoice posted as a form.

    POST /invoice   number=INV-1001&customer=...&item=Widget:2:9.50&item=...&format=html|text

The invoice is printed on the server's own printer (CORVANE_PRINTER, default "Corvane PDF"):
as HTML through PrintHTMLDocFromSource, or as plain text through PrintDoc with a title, header,
footer and page numbers. The answer is the job's outcome: "printed", or "error NUMBER
DESCRIPTION" with status 500.

Run it with a WSGI server, under any worker class (sync, gthread, with or without --preload):
    gunicorn --workers 4 --bind 127.0.0.1:8000 app:application
    gunicorn --workers 2 --threads 4 --bind 127.0.0.1:8000 app:application

Corvane objects are apartment-threaded: an object belongs to the thread that made it, and a call
from another thread is refused. So each thread that serves requests makes its own object (and
selects its printer on that thread); nothing is made at import time, which under --preload runs
in the process that forks the workers.
"""
import html
import math
import os
import threading
from urllib.parse import parse_qs

import corvane

PRINTER = os.environ.get("CORVANE_PRINTER", "Corvane PDF")
HTML_TIMEOUT = float(os.environ.get("CORVANE_HTML_TIMEOUT", "60"))
# A request body larger than this is refused; one that does not arrive within READ_TIMEOUT
# seconds is given up.
MAX_BODY = 1 << 20
READ_TIMEOUT = 10
# Bounds of an item: a price that prints as a number of cents, a quantity a person orders.
MAX_PRICE = 1e9
MAX_QUANTITY = 1000000


class Outcome:
    """The events of the worker's object: the errors of the current job."""

    def __init__(self):
        self.errors = []

    def OnPrintError(self, number, description):
        self.errors.append((number, description))


_local = threading.local()


def document():
    # One object per thread that serves requests, made on that thread (after any fork), with
    # the printer selected there: the printer is the thread's.
    doc = getattr(_local, "doc", None)
    if doc is None:
        doc = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Outcome)
        doc.SetPrinter(PRINTER)
        _local.doc = doc
    return doc


def parse_items(values):
    """Items as name:quantity:price; None when one is not that (a quantity that is not a whole
    number from 1 up, a price that is not a finite number from 0 up, or one out of bounds)."""
    items = []
    for value in values:
        name, _, rest = value.partition(":")
        quantity, _, price = rest.partition(":")
        try:
            q, p = int(quantity or "1"), float(price or "0")
        except ValueError:
            return None
        if not 1 <= q <= MAX_QUANTITY or not math.isfinite(p) or not 0 <= p <= MAX_PRICE:
            return None
        items.append((name, q, p))
    return items


def invoice_html(number, customer, items):
    rows = "".join(f"<tr><td>{html.escape(n)}</td><td>{q}</td><td>{p:.2f}</td><td>{q * p:.2f}</td></tr>"
                   for n, q, p in items)
    total = sum(q * p for _, q, p in items)
    return (f"<html><body><h1>Invoice {html.escape(number)}</h1><p>{html.escape(customer)}</p>"
            f"<table><tr><th>Item</th><th>Quantity</th><th>Price</th><th>Amount</th></tr>{rows}</table>"
            f"<p>Total {total:.2f}</p></body></html>")


def invoice_text(customer, items):
    lines = [customer, ""]
    lines += [f"{n:<30} {q:>5} {p:>10.2f} {q * p:>10.2f}" for n, q, p in items]
    lines += ["", f"{'Total':<30} {'':>5} {'':>10} {sum(q * p for _, q, p in items):>10.2f}"]
    return "\r\n".join(lines)


def print_invoice(form):
    number = form.get("number", [""])[0]
    customer = form.get("customer", [""])[0]
    items = parse_items(form.get("item", []))
    if not number:
        return "error 5 an invoice needs a number"
    if items is None:
        return "error 13 an item is not name:quantity:price (a quantity from 1, a price from 0)"
    doc = document()
    doc._handler.errors.clear()
    if form.get("format", ["html"])[0] == "text":
        doc.FileName = ""
        doc.DocTitle = f"Invoice {number}"
        doc.DocHeader = "Corvane print server"
        doc.DocFooter = f"Invoice {number}"
        doc.PrintPageNumber = True
        doc.DocText = invoice_text(customer, items)
        result = doc.PrintDoc()
        if result is not None:
            return f"error {result.replace('|', ' ', 1)}"
    else:
        result = doc.PrintHTMLDocFromSource(invoice_html(number, customer, items))
        if result is not None:
            return f"error {result.replace('|', ' ', 1)}"
        # The wait raises this thread's events; a page it gives up on is cancelled and never
        # prints (its PrintError is among the errors).
        if not corvane.WaitForHtmlPrints(HTML_TIMEOUT) and not doc._handler.errors:
            return f"error 75 the invoice did not print within {HTML_TIMEOUT:g} s"
    if doc._handler.errors:
        number_, description = doc._handler.errors[0]
        return f"error {number_} {description}"
    return "printed"


def read_body(environ, length):
    """The request's body, read within READ_TIMEOUT seconds when the server lends its socket
    (gunicorn); None when it stalls."""
    sock = environ.get("gunicorn.socket")
    previous = sock.gettimeout() if sock is not None else None
    try:
        if sock is not None:
            sock.settimeout(READ_TIMEOUT)
        return environ["wsgi.input"].read(length)
    except OSError:
        return None
    finally:
        if sock is not None:
            sock.settimeout(previous)


def application(environ, start_response):
    if environ["REQUEST_METHOD"] != "POST" or environ.get("PATH_INFO") != "/invoice":
        start_response("404 Not Found", [("Content-Type", "text/plain")])
        return [b"POST /invoice\n"]
    try:
        length = int(environ.get("CONTENT_LENGTH") or 0)
    except ValueError:
        length = -1
    if not 0 <= length <= MAX_BODY:
        outcome, status = f"error 5 a request body is 0 to {MAX_BODY} bytes", "400 Bad Request"
    else:
        body = read_body(environ, length)
        if body is None or len(body) != length:
            # A request cut short (or that stalls) is not an invoice: nothing is printed.
            outcome = "error 62 the request ended before its length"
        else:
            outcome = print_invoice(parse_qs(body.decode("utf-8", errors="replace")))
        status = ("200 OK" if outcome == "printed"
                  else "400 Bad Request" if outcome.startswith(("error 5 ", "error 13 ", "error 62 "))
                  else "500 Internal Server Error")
    start_response(status, [("Content-Type", "text/plain; charset=utf-8")])
    return [(outcome + "\n").encode("utf-8")]
