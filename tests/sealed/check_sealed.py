#!/usr/bin/env python3
"""The sealed library as installed: libcorvane.so exports its public API and nothing of its
insides, and the tools built on the public headers alone print through it (text, rich text and
HTML, the last through the browser module, which gets what it needs from the library at its
entry point rather than from hidden symbols).

    check_sealed.py SEALED_BUILD_DIR

Exits 77 (skipped) when the sealed tree has not been built (scripts/build-sealed.sh)."""
import os
import re
import subprocess
import sys
import tempfile

# What component/include declares with CORVANE_EXPORT, as names of the corvane namespace.
PUBLIC = [
    r"corvane::Corvane(::|$)",
    r"corvane::Variant(::|$)",
    r"corvane::RuntimeError(::|$)",
    r"corvane::EventSink(::|$)",
    r"corvane::automation::CorvaneObject(::|$)",
    r"corvane::automation::(toQVariant|fromQVariant|memberKind|getMember|putProperty|callMethod)\(",
    r"corvane::qt::(writeRtf|readDocument|exitStatusAfterHtml|pendingHtmlPrints|waitForHtmlPrints|waitForHtmlPrintsFor|cancelHtmlPrints|deliverThreadEvents|openAddress|useEmbeddableFontsOnly)\(",
    r"corvane::(fromUtf8|toUtf8|fromWindows1252|isValidUtf8|toUpper|equalsIgnoreCase|decimal|numberText|"
    r"parseNumber|roundHalfEven|errorDescription|currentRuntimeError|enumerations|ParseFontSettings|guidText|"
    r"CreateObject|registerServer|ensureRegistered|registrationFolder|registerForEveryAccount|setHtmlOutcomeObserver|"
    r"pendingHtmlRequests|resetThreadSurface)\(",
    # Operators of the public value types.
    r"corvane::operator[=!<>]+\(corvane::Variant",
]
PREFIXES = ("typeinfo name for ", "typeinfo for ", "vtable for ", "non-virtual thunk to ",
            "virtual thunk to ", "guard variable for ")


def exported(library):
    out = subprocess.run(["nm", "-D", "--defined-only", "-C", library], check=True,
                         capture_output=True, text=True).stdout
    names = []
    for line in out.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3:
            names.append(parts[2])
    return names


def own(name):
    for prefix in PREFIXES:
        if name.startswith(prefix):
            name = name[len(prefix):]
    # The ABI tag of functions that return a std::string.
    name = name.replace("[abi:cxx11]", "")
    # An instantiated function template shows its return type first ("corvane::Variant*
    # std::__do_uninit_copy<...>(...)"): what counts is the function's own name.
    head = name.split("(", 1)[0]
    if " " in head and "<" not in head.split(" ", 1)[0]:
        name = name.split(" ", 1)[1]
    return name


def check_exports(library):
    names = exported(library)
    inside = []
    for name in names:
        entity = own(name)
        if not entity.startswith("corvane::"):
            continue  # Dll* entry points, and instantiations of std and Qt templates
        if not any(re.match(p, entity) for p in PUBLIC):
            inside.append(name)
    entry = {n for n in names if n.startswith("Dll")}
    print(f"{library}: {len(names)} symbols exported, {len(names) - len(inside)} of the public API or templates")
    ok = True
    if inside:
        print("exported, but not public API:")
        for name in inside[:40]:
            print("  " + name)
        ok = False
    want = {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}
    if not want <= entry:
        print("missing entry points:", sorted(want - entry))
        ok = False
    for must in ("corvane::Corvane::PrintDoc(", "corvane::automation::CorvaneObject::staticMetaObject",
                 "typeinfo for corvane::RuntimeError"):
        if not any(n.startswith(must) for n in names):
            print("not exported:", must)
            ok = False
    return ok


def pdf_texts(folder):
    texts = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".pdf"):
            texts.append(subprocess.run(["pdftotext", "-layout", os.path.join(folder, name), "-"],
                                        check=True, capture_output=True, text=True).stdout)
    return texts


def check_printing(build):
    tool = os.path.join(build, "bin", "corvane")
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ)
        env["XDG_DATA_HOME"] = os.path.join(work, "data")  # this library's registration only
        env["CORVANE_PDF_DIR"] = os.path.join(work, "pdf")
        env["QT_QPA_PLATFORM"] = "offscreen"
        env["CORVANE_HTML_TIMEOUT"] = "120"
        os.makedirs(env["CORVANE_PDF_DIR"])
        run = subprocess.run(
            [tool, "SetPrinter", "Corvane PDF", "--",
             "DocText=sealed plain words", "PrintDoc", "--",
             "PrintRTFData", r"{\rtf1\ansi sealed {\b rich} words\par}", "--",
             "PrintHTMLDocFromSource", "<p>sealed html words</p>"],
            env=env, capture_output=True, text=True, timeout=300)
        texts = pdf_texts(env["CORVANE_PDF_DIR"])
        found = {phrase: sum(" ".join(t.split()).count(phrase) for t in texts)
                 for phrase in ("sealed plain words", "sealed rich words", "sealed html words")}
        print(f"sealed tool: status {run.returncode}, {len(texts)} PDFs, {found}")
        if run.returncode != 0 or len(texts) != 3 or any(n != 1 for n in found.values()):
            print(run.stderr[-3000:])
            return False
    return True


def main():
    build = sys.argv[1]
    library = os.path.join(build, "lib", "libcorvane.so")
    if not os.path.exists(library) or not os.path.exists(os.path.join(build, "bin", "corvane")):
        print(f"no sealed build in {build} (scripts/build-sealed.sh makes it)")
        return 77
    ok = check_exports(library)
    ok = check_printing(build) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
