// The print routes that are not there yet on Windows, and a PDF file sent to a printer: echoes
// each call's result and events.
var ev = "";
function c_PrintProgress(p) { ev += " P" + p; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
function run(name, f) { ev = ""; var r; try { r = f(); } catch (e) { r = "throw " + e.number + " " + e.description; } WScript.Echo(name + " -> " + r + " |" + ev); }
run("PrintText", function () { return c.PrintText("hello"); });
run("PrintTextFile", function () { return c.PrintTextFile("C:\\corvane\\plain.txt"); });
run("PrintRTFData", function () { return c.PrintRTFData("{\\rtf1 hi}"); });
run("PrintRTFFile", function () { return c.PrintRTFFile("C:\\corvane\\x.rtf"); });
run("PrintHTMLDocument", function () { return c.PrintHTMLDocument("C:\\corvane\\x.html"); });
run("PrintHTMLDocFromSource", function () { return c.PrintHTMLDocFromSource("<p>hi</p>"); });
run("About", function () { return c.About(); });
run("PrintPDFFile on Office", function () { c.SetPrinter("Office"); return c.PrintPDFFile("C:\\corvane\\x.pdf"); });
run("PrintDoc of a .pdf on Office", function () { c.FileName = "C:\\corvane\\x.pdf"; return c.PrintDoc("Office"); });
run("PrintDoc of a .rtf", function () { c.FileName = "C:\\corvane\\x.rtf"; return c.PrintDoc("Corvane PDF"); });
run("PrintDoc of a .html", function () { c.FileName = "C:\\corvane\\x.html"; return c.PrintDoc("Corvane PDF"); });
