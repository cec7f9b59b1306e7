// An error in an event handler ends the script with status 1, naming the handler's line.
// expect-out: before
// expect-err: events-handler-error.js(11, 5) Error in the handler (0x80004005)
// expect-exit: 1
var src = WScript.CreateObject("CorvaneTest.EventSource", "on_");
WScript.Echo("before");
src.Raise(1, "x");
WScript.Echo("after");

function on_Ping(number, text) {
    throw new Error("Error in the handler");
}
