// The same from JScript, where the prefix is matched with the function's name as written, and
// a handler's parameters are its own copies.
// expect-out: on_Ping 42 number Grüße string
// expect-out: returned 42|Grüße
// expect-out: returned 1|not delivered
// expect-out: on_Ping 2147483647 number last string
// expect-out: end
var src = WScript.CreateObject("CorvaneTest.EventSource", "on_");
var other = WScript.CreateObject("CorvaneTest.EventSource", "On_");
WScript.Echo("returned", src.Raise(42, "Grüße"));
WScript.Echo("returned", other.Raise(1, "not delivered"));
src.Raise(2147483647, "last");
WScript.Echo("end");

function on_Ping(number, text) {
    WScript.Echo("on_Ping", number, typeof number, text, typeof text);
    number = 0;
    text = "changed";
}
function Ping(number, text) {
    WScript.Echo("Ping", number, text);
}
