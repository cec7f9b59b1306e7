"""The Python module `corvane`, as a server script uses it: creation by programmatic identifier,
late binding by name, events to a handler, errors of the call as corvane.error, HTML pages
waited for, and Python threads printing at once, each on its own printer."""
import os
import subprocess
import threading

import pytest

import corvane

PDF_DIR = os.environ["CORVANE_PDF_DIR"]


def pdfs():
    return {name for name in os.listdir(PDF_DIR) if name.endswith(".pdf")}


def texts(names):
    return [subprocess.run(["pdftotext", os.path.join(PDF_DIR, n), "-"], check=True, capture_output=True,
                           text=True).stdout for n in sorted(names)]


def count(token, names):
    return sum(" ".join(t.split()).count(token) for t in texts(names))


@pytest.fixture
def doc():
    obj = corvane.Dispatch("CorvaneCOM.Corvane")
    obj.SetPrinter("Corvane PDF")
    return obj


class Recorder:
    def __init__(self):
        self.events = []

    def OnPrintProgress(self, page):
        self.events.append(("PrintProgress", page))

    def OnPrintComplete(self):
        self.events.append(("PrintComplete",))

    def OnPrintError(self, number, description):
        self.events.append(("PrintError", number, description))


def test_names_resolve_at_run_time_in_any_case_with_the_class_defaults(doc):
    assert doc.MarginLeft == 1440 and doc.copies == 1 and doc.PaperSize == corvane.spPaperLetter
    doc.marginleft = 720
    doc.DOCTITLE = "Report"
    assert (doc.MarginLeft, doc.DocTitle) == (720, "Report")
    doc.MarginLeft = 50  # outside its bounds: ignored, as the class does
    assert doc.MarginLeft == 720
    assert corvane.spPaperA4 == 9 and corvane.spOrientationLandscape == 2


def test_a_text_prints_once_and_its_events_reach_the_handler():
    obj = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Recorder)
    obj.SetPrinter("Corvane PDF")
    before = pdfs()
    obj.DocText = "pythontoken one"
    assert obj.PrintDoc() is None
    new = pdfs() - before
    assert len(new) == 1 and count("pythontoken one", new) == 1
    assert obj._handler.events == [("PrintProgress", 1), ("PrintComplete",)]
    # Optional arguments left out take the class's defaults.
    before = pdfs()
    assert obj.PrintText("pythontoken two") is None
    new = pdfs() - before
    assert len(new) == 1 and count("pythontoken two", new) == 1


def test_print_failures_stay_results_and_events():
    obj = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Recorder)
    obj.FileName = "/nonexistent/missing.txt"
    assert obj.PrintDoc() == "-1|File Not Found!"
    assert obj._handler.events == [("PrintError", -1, "File Not Found!")]


def test_a_failure_of_the_call_itself_is_corvane_error(doc):
    with pytest.raises(corvane.error) as unknown:
        doc.NoSuchMember
    assert unknown.value.args == (438, "Object doesn't support this property or method")
    with pytest.raises(corvane.error) as mismatch:
        doc.MarginLeft = "wide"
    assert mismatch.value.args[0] == 13
    with pytest.raises(corvane.error) as creation:
        corvane.Dispatch("CorvaneCOM.Nothing")
    assert creation.value.args[0] == 429


def test_values_python_has_and_automation_has_not_are_errors_not_crashes(doc):
    nested = []
    nested.append(nested)  # a list that holds itself
    for value in (nested, "\ud800"):
        with pytest.raises(corvane.error) as mismatch:
            doc.DocText = value
        assert mismatch.value.args[0] == 13
    with pytest.raises(corvane.error) as overflow:
        doc.MarginLeft = 10**100  # a Double, too big for the Integer property
    assert overflow.value.args[0] == 6
    with pytest.raises(corvane.error) as beyond:
        doc.DocText = 2**2000  # too big even for a Double
    assert beyond.value.args[0] == 6
    assert doc.MarginLeft == 1440


def test_html_pages_are_waited_for(doc):
    before = pdfs()
    doc.PrintHTMLDocFromSource("<p>pythonhtmltoken</p>")
    assert corvane.WaitForHtmlPrints(120) is True
    corvane.PumpWaitingMessages()
    new = pdfs() - before
    assert len(new) == 1 and count("pythonhtmltoken", new) == 1


def test_threads_print_at_once_each_on_its_own_printer():
    before = pdfs()
    errors = []

    def work(n):
        try:
            obj = corvane.Dispatch("CorvaneCOM.Corvane")
            obj.SetPrinter("Corvane PDF")
            for i in range(3):
                obj.DocText = f"threadtoken{n}x{i}"
                assert obj.PrintDoc() is None
            corvane.ReleaseThread()
        except Exception as e:  # reported below, with the thread
            errors.append((n, repr(e)))

    threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(120)
    assert errors == []
    new = pdfs() - before
    assert len(new) == 12
    for n in range(4):
        for i in range(3):
            assert count(f"threadtoken{n}x{i}", new) == 1


def run_python(code, timeout=120, env=None):
    """Runs code in a Python of its own (process-wide state: threads, fork, signals)."""
    return subprocess.run(["/usr/bin/python3", "-c", code], capture_output=True, text=True, timeout=timeout,
                          env=dict(os.environ, **(env or {})))


def test_a_method_taken_from_an_object_keeps_it_alive():
    result = run_python(
        "import corvane, gc\n"
        "print(corvane.Dispatch('CorvaneCOM.Corvane').GetPrinters()[-1])\n"
        "f = corvane.Dispatch('CorvaneCOM.Corvane').GetPrinters\n"
        "gc.collect()\n"
        "print(f()[-1])\n")
    assert (result.returncode, result.stdout) == (0, "Corvane PDF\nCorvane PDF\n"), result.stderr


WRONG_THREAD = (-2147417842, "The application called an interface that was marshalled for a different thread")


def test_an_object_is_refused_on_another_thread_and_works_on_its_own(doc):
    outcomes = []

    def elsewhere():
        for call in (lambda: doc.PrintDoc(), lambda: doc.DocTitle, lambda: setattr(doc, "DocText", "x"),
                     lambda: doc.PrintHTMLDocFromSource("<p>x</p>")):
            try:
                call()
                outcomes.append("ran")
            except corvane.error as e:
                outcomes.append(e.args)

    before = pdfs()
    thread = threading.Thread(target=elsewhere)
    thread.start()
    thread.join(60)
    assert outcomes == [WRONG_THREAD] * 4
    assert pdfs() == before and doc.DocText == ""


def test_html_works_on_any_thread_after_the_first_object_was_made_on_a_short_lived_one():
    # The first object of the process is made (and prints) on a thread that then ends; pages
    # still print, from the main thread and from a new thread, and their events come to each.
    result = run_python(
        "import corvane, threading\n"
        "class E:\n"
        "    def __init__(self): self.errors = []\n"
        "    def OnPrintError(self, n, d): self.errors.append(n)\n"
        "def page(token):\n"
        "    d = corvane.DispatchWithEvents('CorvaneCOM.Corvane', E)\n"
        "    d.SetPrinter('Corvane PDF')\n"
        "    r = (d.PrintHTMLDocFromSource('<p>' + token + '</p>'), d.PrintHTMLDocument('/nonexistent/x.html'))\n"
        "    print(token, r, corvane.WaitForHtmlPrints(60), d._handler.errors, flush=True)\n"
        "t = threading.Thread(target=page, args=('shortlived',)); t.start(); t.join()\n"
        "page('mainthread')\n"
        "t = threading.Thread(target=page, args=('newthread',)); t.start(); t.join()\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [f"{t} (None, None) True [53]" for t in
                                          ("shortlived", "mainthread", "newthread")]


def test_a_child_forked_after_html_printing_is_told_at_once():
    result = run_python(
        "import corvane, os, time\n"
        "d = corvane.Dispatch('CorvaneCOM.Corvane'); d.SetPrinter('Corvane PDF')\n"
        "d.PrintHTMLDocFromSource('<p>parentpage</p>'); assert corvane.WaitForHtmlPrints(60)\n"
        "pid = os.fork()\n"
        "if pid == 0:\n"
        "    c = corvane.Dispatch('CorvaneCOM.Corvane')\n"
        "    start = time.monotonic()\n"
        "    r = c.PrintHTMLDocFromSource('<p>childpage</p>')\n"
        "    print(r.split(':')[0], corvane.WaitForHtmlPrints(5), round(time.monotonic() - start) < 2, flush=True)\n"
        "    c.DocText = 'childtext'; print(c.PrintDoc(), flush=True)\n"
        "    os._exit(0)\n"
        "os.waitpid(pid, 0)\n")
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines == ["445|Object doesn't support this action True True", "None"], result.stdout


def test_a_wait_that_runs_out_cancels_the_page_for_good():
    # The page loads for ever (a server that never answers); the wait gives up after 2 s: the
    # page fails at once with 75 and never prints, even when the server answers later.
    result = run_python(
        "import corvane, socket, time, threading, os\n"
        "server = socket.socket(); server.bind(('127.0.0.1', 0)); server.listen(8)\n"
        "port = server.getsockname()[1]\n"
        "held = []\n"
        "def serve():\n"
        "    while True:\n"
        "        conn, _ = server.accept(); held.append(conn)\n"
        "threading.Thread(target=serve, daemon=True).start()\n"
        "class E:\n"
        "    def __init__(self): self.errors = []\n"
        "    def OnPrintError(self, n, d): self.errors.append((n, d))\n"
        "d = corvane.DispatchWithEvents('CorvaneCOM.Corvane', E); d.SetPrinter('Corvane PDF')\n"
        "before = set(os.listdir(os.environ['CORVANE_PDF_DIR']))\n"
        "d.PrintHTMLDocument(f'http://127.0.0.1:{port}/slow.html')\n"
        "start = time.monotonic(); ok = corvane.WaitForHtmlPrints(2); waited = time.monotonic() - start\n"
        "print(ok, 1.5 < waited < 8, [n for n, _ in d._handler.errors], 'after 2 s, and it was cancelled' in d._handler.errors[0][1])\n"
        "for c in held: c.sendall(b'HTTP/1.0 200 OK\\r\\nContent-Type: text/html\\r\\n\\r\\n<p>latepage</p>'); c.close()\n"
        "d2 = corvane.Dispatch('CorvaneCOM.Corvane'); d2.SetPrinter('Corvane PDF')\n"
        "d2.PrintHTMLDocFromSource('<p>afterpage</p>'); print(corvane.WaitForHtmlPrints(60))\n"
        "new = set(os.listdir(os.environ['CORVANE_PDF_DIR'])) - before\n"
        "print(len(new), len(d._handler.errors))\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["False True [75] True", "True", "1 1"], result.stdout


def test_a_signal_ends_a_wait_within_a_second():
    # SIGINT while pages are awaited: KeyboardInterrupt, at once, not after the page's time.
    script = (
        "import corvane, os, signal, socket, threading, time\n"
        "server = socket.socket(); server.bind(('127.0.0.1', 0)); server.listen(8)\n"
        "threading.Thread(target=lambda: [server.accept() for _ in range(8)], daemon=True).start()\n"
        "d = corvane.Dispatch('CorvaneCOM.Corvane'); d.SetPrinter('Corvane PDF')\n"
        "d.PrintHTMLDocument(f'http://127.0.0.1:{server.getsockname()[1]}/x.html')\n"
        "threading.Timer(1, lambda: os.kill(os.getpid(), signal.SIGINT)).start()\n"
        "start = time.monotonic()\n"
        "try:\n"
        "    corvane.WaitForHtmlPrints(60)\n"
        "except KeyboardInterrupt:\n"
        "    print('interrupted', time.monotonic() - start < 2.5, flush=True)\n"
        "os._exit(0)\n")
    result = run_python(script, timeout=60)
    assert result.stdout == "interrupted True\n", result.stderr


def test_a_program_that_ends_with_pages_pending_ends_cleanly_with_its_status():
    # Pages asked for and not waited for: the process ends with its own status and its output,
    # never a crash (the browser engine cannot be taken down under its own threads).
    script = ("import corvane, sys, threading\n"
              "d = corvane.Dispatch('CorvaneCOM.Corvane'); d.SetPrinter('Corvane PDF')\n"
              "for i in range(3): d.PrintHTMLDocFromSource('<p>' + 'pending ' * 5000 + '</p>')\n"
              "threading.Thread(target=corvane.WaitForHtmlPrints, args=(60,), daemon=True).start()\n"
              "print('ending')\n"
              "sys.exit(3)\n")
    outcomes = [run_python(script) for _ in range(4)]
    assert [(r.returncode, r.stdout) for r in outcomes] == [(3, "ending\n")] * 4, outcomes[0].stderr
