// An exception nobody catches ends the script with status 1, its line and its message on stderr.
// expect-out: before
// expect-err: runtime-error.js(8, 5) Broken on purpose (0x80004005)
// expect-exit: 1
function fail() {
    WScript.Echo("before");
    // line 8 throws:
    throw new Error("Broken on purpose");
}
fail();
WScript.Echo("after");
