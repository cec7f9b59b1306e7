// Every paper size 1..41 in both orientations, one job each to "Corvane PDF", echoing
// "size orientation result events" per job in the order printed.
var ev = "";
function c_PrintComplete() { ev += "C"; }
function c_PrintError(e, d) { ev += "E" + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
c.DocText = "PaperWord";
for (var s = 1; s <= 41; s++) for (var o = 1; o <= 2; o++) {
  ev = "";
  var r;
  try { c.PaperSize = s; c.PaperOrientation = o; r = c.PrintDoc("Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
  WScript.Echo(s + " " + o + " " + r + " " + ev);
}
