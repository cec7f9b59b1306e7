// Odd DocText (argument 1 names it) to "Corvane PDF"; echoes result, events and time.
var mode = WScript.Arguments.Item(0), ev = "", prog = 0;
function c_PrintProgress(p) { prog++; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
function rep(s, n) { var r = ""; while (n > 0) { if (n & 1) r += s; s += s; n >>= 1; } return r; }
var t;
if (mode == "big") { var L = []; for (var i = 1; i <= 100000; i++) L.push("b" + ("000000" + i).slice(-6) + rep(" filler", 13)); t = L.join("\r\n"); }
if (mode == "hugeword") t = "start " + rep("x", 10000000) + " end";
if (mode == "longword") t = "start " + rep("y", 200000) + " end";
if (mode == "longline") t = rep("word ", 2000000);
if (mode == "nul") t = "before\u0000after nul\u0000\u0000end";
if (mode == "surrogates") t = "lone\uD800high lone\uDC00low pair\uD83D\uDE00ok end\uD800";
if (mode == "controls") t = "a\u0001b\u0008c\u000Bd\u000Ce\u001Bf\tg\rh\ni\u2028j\u2029k\uFEFFl\uFFFFm";
if (mode == "empty") t = "";
if (mode == "manyblank") t = rep("\r\n", 20000) + "lastword";
if (mode == "rtl") t = "\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627 caf\u0065\u0301 \u0444\u0430\u0439\u043B \u4E2D\u6587 \uFB01ne";
c.DocText = t;
c.DocTitle = "OddTitle";
var t0 = new Date(), r;
try { r = c.PrintDoc(WScript.Arguments.Count > 1 ? WScript.Arguments.Item(1) : "Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
WScript.Echo(mode + " len=" + t.length + " result=" + r + " progress=" + prog + ev + " ms=" + (new Date() - t0));
