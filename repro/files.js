// PrintDoc with FileName set to odd paths (one per argument) to "Corvane PDF"; echoes
// "path -> result events" per path.
var ev = "";
function c_PrintProgress(p) { ev += " P" + p; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
for (var i = 0; i < WScript.Arguments.Count; i++) {
  var f = WScript.Arguments.Item(i);
  if (f == "LONG") { f = "C:\\corvane\\"; for (var k = 0; k < 40; k++) f += "abcdefghi\\"; f += "x.txt"; }
  ev = "";
  var r;
  try { c.FileName = f; r = c.PrintDoc("Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
  WScript.Echo(f.substr(0, 40) + " -> " + r + " |" + ev);
}
