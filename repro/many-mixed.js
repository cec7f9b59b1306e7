// Argument 1 a tag, argument 2 a job count: that many jobs of 60 lines "TAGxJOBxLINE" + words in
// eight scripts to "Corvane PDF" (or argument 3's printer); echoes each job that did not end in
// PrintComplete, and the count.
var tag = WScript.Arguments.Item(0), jobs = +WScript.Arguments.Item(1), ev = "", bad = 0;
function c_PrintComplete() { ev += "C"; }
function c_PrintError(e, d) { ev += "E" + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var words = ["\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD", "\u0645\u0631\u062D\u0628\u0627", "\u4E2D\u6587\u5B57",
  "\u03A9\u03BC\u03AD\u03B3\u03B1", "\u043A\u043E\u0442", "\uD83D\uDE00", "\u0928\u092E\u0938\u094D\u0924\u0947",
  "\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35", "o\uFB01ce"];
for (var j = 1; j <= jobs; j++) {
  var lines = [];
  for (var i = 1; i <= 60; i++) lines.push(tag + "x" + j + "x" + i + " " + words[(i + j) % 9] + " " + words[(i + j + 4) % 9]);
  c.DocText = lines.join("\r\n");
  c.DocTitle = words[j % 9];
  c.DocHeader = words[(j + 1) % 9];
  c.DocFooter = words[(j + 2) % 9];
  ev = "";
  var r = c.PrintDoc(WScript.Arguments.Count() > 2 ? WScript.Arguments.Item(2) : "Corvane PDF");
  if (ev != "C" || r !== undefined) { bad++; WScript.Echo("job " + j + " " + r + " " + ev); }
}
WScript.Echo(tag + " done, bad " + bad);
