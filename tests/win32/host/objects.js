// The same from JScript, and an uncaught failure to create ends the script.
// expect-out: 1 one
// expect-err: objects.js(7, 1) WScript: Could not create the object "No.Such.Object" (0x800401F3)
// expect-exit: 1
var d = WScript.CreateObject("Scripting.Dictionary");
d.Add("a", "one"); WScript.Echo(d.Count, d.Item("a"));
WScript.CreateObject("No.Such.Object");
WScript.Echo("after");
