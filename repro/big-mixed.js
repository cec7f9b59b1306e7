// Argument 1 a mode, argument 2 a size in characters: "mixed" lines "Bnnnnnn" + words in eight
// scripts, "cjkword"/"arabicword"/"hebrewword"/"emojiword"/"devaword" one word of that many
// characters between "start" and "end"; to "Corvane PDF". Echoes result, events, time.
var mode = WScript.Arguments.Item(0), size = +WScript.Arguments.Item(1), ev = "", prog = 0;
function c_PrintProgress(p) { prog++; }
function c_PrintComplete() { ev += " Complete"; }
function c_PrintError(e, d) { ev += " Error " + e + " " + d; }
var c = WScript.CreateObject("CorvaneCOM.Corvane", "c_");
function rep(s, n) { var r = ""; while (n > 0) { if (n & 1) r += s; s += s; n >>= 1; } return r; }
var t, words = ["\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD", "\u0645\u0631\u062D\u0628\u0627", "\u4E2D\u6587\u5B57",
  "\u03A9\u03BC\u03AD\u03B3\u03B1", "\u043A\u043E\u0442", "\uD83D\uDE00", "\u0928\u092E\u0938\u094D\u0924\u0947",
  "\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35", "o\uFB01ce", "e\u0301\u0323"];
if (WScript.Arguments.Count() > 2) { var pick = WScript.Arguments.Item(2).split(","), w2 = []; for (var q = 0; q < pick.length; q++) w2.push(words[+pick[q]]); words = w2; }
if (mode == "mixed") {
  var L = [], n = 0, len = 0;
  while (len < size) { n++; var s = "B" + ("000000" + n).slice(-6); for (var k = 0; k < 6; k++) s += " " + words[(n + k) % words.length]; L.push(s); len += s.length + 2; }
  t = L.join("\r\n");
  WScript.Echo("lines=" + n);
}
if (mode == "cjkword") t = "start " + rep("\u4E2D\u6587", size / 2) + " end";
if (mode == "arabicword") t = "start " + rep("\u0645\u0631\u062D\u0628", size / 4) + " end";
if (mode == "hebrewword") t = "start " + rep("\u05E9\u05B8\u05C1\u05DC", size / 4) + " end";
if (mode == "emojiword") t = "start " + rep("\uD83D\uDE00", size / 2) + " end";
if (mode == "devaword") t = "start " + rep("\u0928\u092E\u0938\u094D", size / 4) + " end";
if (mode == "mixedword") t = "start " + rep("a\u4E2D\u0645\u05E9\uD83D\uDE00\u03A9", size / 7) + " end";
c.DocText = t;
var t0 = new Date(), r;
try { r = c.PrintDoc("Corvane PDF"); } catch (e) { r = "throw " + e.number + " " + e.description; }
WScript.Echo(mode + " len=" + t.length + " result=" + r + " pages=" + prog + ev + " ms=" + (new Date() - t0));
