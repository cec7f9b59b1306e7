// A script that does not parse runs nothing: the error's line and column, status 1.
// expect-err: syntax-error.js(6, 11) Microsoft JScript compilation error: Syntax error (0x800A03EA)
// expect-exit: 1
WScript.Echo("before");
// line 6 does not parse:
var x = (1;
