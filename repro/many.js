// Argument 1 a process tag, argument 2 a job count: prints that many jobs of 200 lines
// "TAG-JOB-LINE" to "Corvane PDF"; echoes a line per job that did not end in PrintComplete.
var tag = WScript.Arguments.Item(0), jobs = +WScript.Arguments.Item(1), ev = "", bad = 0;
function c_PrintComplete() { ev += "C"; }
function c_PrintError(e, d) { ev += "E" + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
for (var j = 1; j <= jobs; j++) {
  var lines = [];
  for (var i = 1; i <= 200; i++) lines.push(tag + "x" + j + "x" + i);
  c.DocText = lines.join("\r\n");
  ev = "";
  var r = c.PrintDoc(WScript.Arguments.Count > 2 ? WScript.Arguments.Item(2) : "Corvane PDF");
  if (ev != "C" || r !== undefined) { bad++; WScript.Echo("job " + j + " " + r + " " + ev); }
}
WScript.Echo(tag + " done, bad " + bad);
