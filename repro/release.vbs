' The object released inside its own PrintProgress and PrintComplete handlers, then a new one
' printing; echoes the events in order.
Option Explicit
Dim c, ev
ev = ""
Sub c_PrintProgress(p)
  ev = ev & "P" & p & " "
  If p = 1 Then Set c = Nothing
End Sub
Sub c_PrintComplete()
  ev = ev & "Complete "
  Set c = Nothing
End Sub
Sub c_PrintError(n, d)
  ev = ev & "Error " & n & " " & d & " "
End Sub
Set c = WScript.CreateObject("CorvaneCOM.Corvane", "c_")
c.DocText = "Released" & vbCrLf & String(40, "x") & vbCrLf
Dim r, i, t
t = ""
For i = 1 To 150
  t = t & "rel" & i & vbCrLf
Next
c.DocText = t
r = c.PrintDoc("Corvane PDF")
WScript.Echo "first: " & ev & "result=" & TypeName(r)
ev = ""
Set c = WScript.CreateObject("CorvaneCOM.Corvane", "c_")
c.DocText = "Second"
r = c.PrintDoc("Corvane PDF")
WScript.Echo "second: " & ev & "result=" & TypeName(r)
