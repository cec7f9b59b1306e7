var ev = "";
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var names = ["C:\\corvane\\r\u00e9sum\u00e9.txt", "C:\\corvane\\\u043e\u0442\u0447\u0451\u0442.txt", "C:\\corvane\\\u62a5\u544a.txt"];
for (var i = 0; i < names.length; i++) { ev = ""; c.FileName = names[i]; var r = c.PrintDoc("Corvane PDF"); WScript.Echo(i + " -> " + r + " |" + ev); }
