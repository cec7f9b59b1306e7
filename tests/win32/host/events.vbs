' An object created with a prefix calls the script's procedure prefix + event name with the
' event's arguments, passed by reference, so that what the procedure writes into them reaches
' the source; no other procedure is called, and nothing for an object created without a prefix
' or with a prefix the script has no procedure for.
' expect-out: src_Ping 42 Long Grüße String
' expect-out: returned 43|Grüße!
' expect-out: returned 1|not delivered
' expect-out: returned 2|not delivered
' expect-out: src_Ping -7 Long  String
' expect-out: returned -6|!
Set src = WScript.CreateObject("CorvaneTest.EventSource", "src_")
Set quiet = WScript.CreateObject("CorvaneTest.EventSource")
Set other = WScript.CreateObject("CorvaneTest.EventSource", "nobody_")
WScript.Echo "returned", src.Raise(42, "Grüße")
WScript.Echo "returned", quiet.Raise(1, "not delivered")
WScript.Echo "returned", other.Raise(2, "not delivered")
WScript.Echo "returned", src.Raise(-7, "")

Sub src_Ping(Number, Text)
    WScript.Echo "src_Ping", Number, TypeName(Number), Text, TypeName(Text)
    Number = Number + 1
    Text = Text & "!"
End Sub

Sub Ping(Number, Text)
    WScript.Echo "Ping", Number, Text
End Sub

Sub quiet_Ping(Number, Text)
    WScript.Echo "quiet_Ping", Number, Text
End Sub
