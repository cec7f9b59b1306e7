// PrintDoc of N lines "wNNNNNN" to "Corvane PDF" (or argument 5's printer): arguments
// N copies paper orientation [printer [extras]]; extras "hdr" sets header, footer, page numbers,
// date, borders and lines. Echoes the result and the events.
var a = WScript.Arguments;
var n = +a.Item(0), ev = "", prog = 0;
function c_PrintProgress(p) { prog++; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var parts = [];
for (var i = 1; i <= n; i++) parts.push("w" + ("000000" + i).slice(-6));
c.DocText = parts.join("\r\n");
c.DocTitle = "TitleWord";
c.Copies = +a.Item(1);
c.PaperSize = +a.Item(2);
c.PaperOrientation = +a.Item(3);
var printer = a.Count > 4 ? a.Item(4) : "Corvane PDF";
if (a.Count > 5 && a.Item(5) == "hdr") {
  c.DocHeader = "HeaderWord"; c.DocFooter = "FooterWord"; c.PrintPageNumber = true;
  c.IncludeDateTime = true; c.PrintBorder = true; c.LineBelowHeader = true; c.LineAboveFooter = true;
}
var t0 = new Date();
var r = c.PrintDoc(printer);
WScript.Echo("result=" + (typeof r) + ":" + r + " progress=" + prog + ev + " ms=" + (new Date() - t0));
