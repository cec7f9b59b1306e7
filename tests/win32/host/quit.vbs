' Quit ends the script where it stands, with its code, inside a procedure and past
' On Error Resume Next.
' expect-out: before
' expect-exit: 7
Sub Finish()
    WScript.Quit 7
    WScript.Echo "after Quit, in the procedure"
End Sub
On Error Resume Next
WScript.Echo "before"
Finish
WScript.Echo "after Quit"
