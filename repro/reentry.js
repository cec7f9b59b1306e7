// Calls from event handlers: PrintDoc from PrintProgress, PrintComplete and PrintError; a
// property set inside PrintProgress; the object released inside PrintComplete; a handler that
// throws. Echoes every event and result.
var mode = WScript.Arguments.Item(0), log = [], depth = 0;
function c_PrintProgress(p) {
  log.push("P" + p);
  if (mode == "progress-print" && p == 1) { var r = c.PrintDoc("Corvane PDF"); log.push("inner=" + r); }
  if (mode == "progress-prop" && p == 1) { c.DocText = "ChangedText"; c.Copies = 3; c.PaperSize = 5; log.push("set " + c.DocText + " " + c.Copies); }
  if (mode == "progress-throw") throw new Error("handler fails");
  if (mode == "progress-setprinter" && p == 1) { log.push("setp=" + c.SetPrinter("Office")); }
}
function c_PrintComplete() {
  log.push("Complete");
  if (mode == "complete-print" && depth++ < 3) { c.DocText = "Second" + depth; var r = c.PrintDoc("Corvane PDF"); log.push("inner=" + r); }
  if (mode == "complete-release") { c = null; CollectGarbage(); log.push("released"); }
  if (mode == "complete-throw") throw new Error("handler fails");
}
function c_PrintError(e, d) {
  log.push("Error " + e + " " + d);
  if (mode == "error-print" && depth++ < 1) { c.FileName = ""; c.DocText = "AfterError"; var r = c.PrintDoc("Corvane PDF"); log.push("inner=" + r); }
}
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var lines = [];
for (var i = 1; i <= 130; i++) lines.push("line" + i);
c.DocText = lines.join("\r\n");
if (mode == "error-print") c.FileName = "C:\\nope\\missing.txt";
var r;
try { r = c.PrintDoc("Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
log.push("outer=" + r);
WScript.Echo(log.join(" | "));
