// Every character from U+0020 (or argument 3, hex) to argument 1 (hex, default FFFF; surrogates
// left out) and, with argument 2 "astral", U+10000 to U+1FFFF, 64 to a line, to "Corvane PDF": more characters than
// the fallback cache holds. Echoes result, events, time.
var ev = "", prog = 0;
function c_PrintProgress(p) { prog++; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
var top = WScript.Arguments.Count() > 0 ? parseInt(WScript.Arguments.Item(0), 16) : 0xFFFF;
var low = WScript.Arguments.Count() > 2 ? parseInt(WScript.Arguments.Item(2), 16) : 0x20;
var L = [], line = "", n = 0;
function add(s) { line += s; if (++n % 64 == 0) { L.push(line); line = ""; } }
for (var u = low; u <= top; u++) if (u < 0xD800 || u > 0xDFFF) add(String.fromCharCode(u));
if (WScript.Arguments.Count() > 1 && WScript.Arguments.Item(1) == "astral") for (var u = 0x10000; u <= 0x1FFFF; u++) { var v = u - 0x10000; add(String.fromCharCode(0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF))); }
L.push(line);
c.DocText = L.join("\r\n");
var t0 = new Date(), r;
try { r = c.PrintDoc("Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
WScript.Echo("chars=" + n + " result=" + r + " pages=" + prog + ev + " ms=" + (new Date() - t0));
