// CorvaneCOM.Corvane from JScript: optional arguments left out or given, events with their
// arguments through the prefix c_, and the error result text.
// expect-last: all 15 checks passed
var checks = 0;
var events = [];

function check(what, actual, expected) {
    checks++;
    if (typeof actual !== typeof expected || actual !== expected) {
        WScript.Echo("MISMATCH", what, "is", typeof actual, String(actual), "not", typeof expected, String(expected));
        WScript.Quit(1);
    }
    WScript.Echo("ok", what, "=", String(expected));
}
function takeEvents() {
    var text = events.join(";");
    events = [];
    return text;
}

function c_PrintProgress(pageNumber) { events.push("PrintProgress " + pageNumber); }
function c_PrintComplete() { events.push("PrintComplete"); }
function c_PrintError(errNumber, errDescription) { events.push("PrintError " + errNumber + " " + errDescription); }

var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
c.SetPrinter("Corvane PDF");

// PrintText with the text alone, with some and with all of its optional arguments: the arguments
// are taken, and the rich-text engine it prints through is not on Windows yet.
var notYet = "445|Object doesn't support this action: rich-text printing is not available on this platform yet";
var notYetEvent = "PrintError " + notYet.replace("|", " ");
check("PrintText with the text alone", c.PrintText("Hello"), notYet);
check("its events", takeEvents(), notYetEvent);
check("PrintText with a font and margins", c.PrintText("Hello", "Courier New,12,1,0,0", 720, 720, 720, 720), notYet);
check("its events", takeEvents(), notYetEvent);
check("PrintText with all eleven arguments", c.PrintText("Hello", "", 1440, 1440, 1440, 1440, 2, 9, 7, 4, 1), notYet);
check("its events", takeEvents(), notYetEvent);
check("PrintText of an empty string", c.PrintText(""), undefined);
check("its events", takeEvents(), "");

// Missing files, the optional arguments left out.
check("PrintTextFile of a missing file", c.PrintTextFile("C:\\corvane-no-such-folder\\a.txt"), "-1|File Not Found!");
check("its events", takeEvents(), "PrintError -1 File Not Found!");
c.FileName = "C:\\corvane-no-such-folder\\a.pdf";
check("PrintDoc without a printer name, of a missing PDF file", c.PrintDoc(), "-1|File Not Found!");
check("its events", takeEvents(), "PrintError -1 File Not Found!");

// GetPrinters without its argument: a VBArray of the names.
check("GetPrinters", new VBArray(c.GetPrinters()).toArray().join("|"), "Corvane PDF");

// A text document of one page: its PrintProgress, then PrintComplete.
c.FileName = "";
c.DocText = "Hello from JScript";
check("PrintDoc of a short text", c.PrintDoc(), undefined);
check("its events", takeEvents(), "PrintProgress 1;PrintComplete");
WScript.Echo("all", checks, "checks passed");
