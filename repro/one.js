// One PrintDoc of "OneWord" to the printer named by argument 1 ("" for the current one), after
// SetPrinter of argument 2 when given; echoes the result and the events.
var ev = "";
function c_PrintProgress(p) { ev += " P" + p; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
c.DocText = "OneWord";
if (WScript.Arguments.Count > 1) WScript.Echo("SetPrinter=" + c.SetPrinter(WScript.Arguments.Item(1)));
var r;
try { r = c.PrintDoc(WScript.Arguments.Item(0)); } catch (e) { r = "throw " + e.number + " " + e.description; }
WScript.Echo("result=" + r + " events:" + ev);
