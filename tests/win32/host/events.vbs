' An object created with a prefix calls the script's procedure prefix + event name with the
' event's arguments; no other procedure, and nothing for an object created without a prefix or
' with a prefix the script has no procedure for.
' expect-out: src_Ping 42 Long Grüße String
' expect-out: src_Ping -7 Long  String
' expect-out: end
Set src = WScript.CreateObject("CorvaneTest.EventSource", "src_")
Set quiet = WScript.CreateObject("CorvaneTest.EventSource")
Set other = WScript.CreateObject("CorvaneTest.EventSource", "nobody_")
src.Raise 42, "Grüße"
quiet.Raise 1, "not delivered"
other.Raise 2, "not delivered"
src.Raise -7, ""
WScript.Echo "end"

Sub src_Ping(Number, Text)
    WScript.Echo "src_Ping", Number, TypeName(Number), Text, TypeName(Text)
End Sub

Sub Ping(Number, Text)
    WScript.Echo "Ping", Number, Text
End Sub

Sub quiet_Ping(Number, Text)
    WScript.Echo "quiet_Ping", Number, Text
End Sub
