' CreateObject makes the system's objects; a name nobody registered is a run-time error the
' script can handle, with the name in its description.
' expect-out: 2 one True False
' expect-out: -2147221005 Could not create the object "No.Such.Object"
Set d = WScript.CreateObject("Scripting.Dictionary")
d.Add "a", "one"
d.Add "b", "two"
WScript.Echo d.Count, d("a"), d.Exists("b"), d.Exists("c")
On Error Resume Next
Set o = WScript.CreateObject("No.Such.Object")
WScript.Echo Err.Number, Err.Description
