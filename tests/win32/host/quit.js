// Quit is not an exception a script can catch.
// expect-out: before
// expect-exit: 3
WScript.Echo("before");
try {
    WScript.Quit(3);
} catch (e) {
    WScript.Echo("caught", e.number);
}
WScript.Echo("after Quit");
