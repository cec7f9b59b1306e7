"""A print server: a WSGI application that prints an invoice posted as a form.

    POST /invoice   number=INV-1001&customer=...&item=Widget:2:9.50&item=...&format=html|text

The invoice is printed on the server's own printer (CORVANE_PRINTER, default "Corvane PDF"):
as HTML through PrintHTMLDocFromSource, or as plain text through PrintDoc with a title, header,
footer and page numbers. The answer is the job's outcome: "printed", or "error NUMBER
DESCRIPTION" with status 500.

Run it with a WSGI server, one object per worker process:
    gunicorn --workers 4 --bind 127.0.0.1:8000 app:application
"""
import html
import os
from urllib.parse import parse_qs

import corvane

PRINTER = os.environ.get("CORVANE_PRINTER", "Corvane PDF")
HTML_TIMEOUT = float(os.environ.get("CORVANE_HTML_TIMEOUT", "60"))


class Outcome:
    """The events of the worker's object: the errors of the current job."""

    def __init__(self):
        self.errors = []

    def OnPrintError(self, number, description):
        self.errors.append((number, description))


_doc = None


def document():
    # Made in the worker, after the server forked it: each process has its own object.
    global _doc
    if _doc is None:
        _doc = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Outcome)
        _doc.SetPrinter(PRINTER)
    return _doc


def parse_items(values):
    """Items as name:quantity:price; None when one is not that."""
    items = []
    for value in values:
        name, _, rest = value.partition(":")
        quantity, _, price = rest.partition(":")
        try:
            items.append((name, int(quantity or "1"), float(price or "0")))
        except ValueError:
            return None
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
        return "error 13 an item is not name:quantity:price"
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
        doc.PrintHTMLDocFromSource(invoice_html(number, customer, items))
        if not corvane.WaitForHtmlPrints(HTML_TIMEOUT):
            return f"error 75 the invoice did not print within {HTML_TIMEOUT:g} s"
    if doc._handler.errors:
        number_, description = doc._handler.errors[0]
        return f"error {number_} {description}"
    return "printed"


def application(environ, start_response):
    if environ["REQUEST_METHOD"] != "POST" or environ.get("PATH_INFO") != "/invoice":
        start_response("404 Not Found", [("Content-Type", "text/plain")])
        return [b"POST /invoice\n"]
    length = int(environ.get("CONTENT_LENGTH") or 0)
    body = environ["wsgi.input"].read(length)
    if len(body) != length:
        # A request cut short is not an invoice: nothing is printed.
        outcome = "error 62 the request ended before its length"
    else:
        outcome = print_invoice(parse_qs(body.decode("utf-8", errors="replace")))
    status = "200 OK" if outcome == "printed" else "500 Internal Server Error"
    start_response(status, [("Content-Type", "text/plain; charset=utf-8")])
    return [(outcome + "\n").encode("utf-8")]
