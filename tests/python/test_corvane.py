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
