// DocTextFont naming a face that is not installed, and odd font settings, each one job to the
// printer named by argument 1; echoes result and events per setting.
var ev = "";
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var fonts = ["No Such Face At All,12,1,1,1", "Courier New,10,0,0,0", "Times New Roman,30,1,1,0", ",10,0,0,0",
  "Arial", "Arial,10", "Arial,abc,0,0,0", "Arial,1638,0,0,0", "Arial,1639,0,0,0", "Arial,0.5,0,0,0", "Arial,10,2,3,4,5"];
for (var i = 0; i < fonts.length; i++) {
  ev = "";
  var r;
  try { c.DocTextFont = fonts[i]; c.DocText = "FontWord" + i; r = c.PrintDoc(WScript.Arguments.Item(0)); } catch (e) { r = "throw " + e.number + " " + e.description; }
  WScript.Echo(fonts[i] + " -> " + r + " |" + ev);
}
