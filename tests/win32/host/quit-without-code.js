// Quit without a code exits 0, and what would have failed after it never runs.
// expect-out: before
WScript.Echo("before");
WScript.Quit();
throw new Error("after Quit");
