// Odd PaperSize/PaperOrientation/PaperBin/PrintQuality values, each one job to the printer
// named by argument 1; echoes "what result events".
var ev = "";
function c_PrintComplete() { ev += "C"; }
function c_PrintError(e, d) { ev += "E" + e + " " + d; }
var printer = WScript.Arguments.Item(0);
var cases = [["PaperSize",0],["PaperSize",999],["PaperSize",-1],["PaperSize",32768],["PaperSize",256],
  ["PaperOrientation",0],["PaperOrientation",3],["PaperOrientation",-1],["PaperBin",-5],["PaperBin",999],
  ["PrintQuality",-9],["PrintQuality",5],["LineSpacing",7],["LineSpacing",-1],["BorderLineWidth",-1],["BorderLineWidth",32767]];
for (var i = 0; i < cases.length; i++) {
  var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
  c.DocText = "OddWord" + i;
  if (cases[i][0] == "BorderLineWidth") c.PrintBorder = true;
  ev = "";
  var r;
  try { c[cases[i][0]] = cases[i][1]; r = c.PrintDoc(printer); } catch (e) { r = "throw " + e.number + " " + e.description; }
  WScript.Echo(i + " " + cases[i][0] + "=" + cases[i][1] + " " + r + " " + ev);
}
