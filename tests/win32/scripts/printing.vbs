' CorvaneCOM.Corvane printing from VBScript, with its events through the prefix c_: the printers
' (only "Corvane PDF", the tests' CUPS server being unreachable), the result and the events of a
' missing file, a PrintError handler rewriting its arguments, and a text document printed to
' "Corvane PDF", whose text the test reads back.
' expect-pdf: Quarterly Report
' expect-pdf: Hello from VBScript on Windows
' expect-last: all 21 checks passed
Option Explicit
Dim checks, events, rewrite, c, count, printers, result
checks = 0
events = ""
rewrite = False

Sub Check(what, actual, expected)
    checks = checks + 1
    If TypeName(actual) <> TypeName(expected) Then
        WScript.Echo "MISMATCH", what, "is a", TypeName(actual), "not a", TypeName(expected)
        WScript.Quit 1
    End If
    If actual <> expected Then
        WScript.Echo "MISMATCH", what, "is", actual, "not", expected
        WScript.Quit 1
    End If
    WScript.Echo "ok", what, "=", expected
End Sub

Sub c_PrintProgress(PageNumber)
    events = events & "PrintProgress " & PageNumber & " " & TypeName(PageNumber) & ";"
End Sub
Sub c_PrintComplete()
    events = events & "PrintComplete;"
End Sub
Sub c_PrintError(ErrNumber, ErrDescription)
    events = events & "PrintError " & ErrNumber & " " & TypeName(ErrNumber) & " " & ErrDescription & ";"
    If rewrite Then
        ErrNumber = 99
        ErrDescription = "rewritten"
    End If
End Sub

Set c = WScript.CreateObject("CorvaneCOM.Corvane", "c_")

' The printers: the count by reference as a 16-bit integer, the names from index 0.
printers = c.GetPrinters(count)
Check "GetPrinters's count", count, CInt(1)
Check "GetPrinters's lower bound", LBound(printers), CLng(0)
Check "GetPrinters's upper bound", UBound(printers), CLng(0)
Check "GetPrinters's first name", printers(0), "Corvane PDF"
printers = c.GetPrinters()
Check "GetPrinters without its argument", printers(0), "Corvane PDF"
Check "SetPrinter by a name in other letter case", IsEmpty(c.SetPrinter("corvane pdf")), True
Check "SetPrinter of a name nobody has", IsEmpty(c.SetPrinter("No Such Printer")), True
Check "SetPrinter of an empty name", IsEmpty(c.SetPrinter("")), True
Check "events of the printer methods", events, ""

' A missing file: PrintError, then the error result text. What a handler writes into the event's
' arguments is never read back: the result stays what the component found.
c.FileName = "C:\corvane-no-such-folder\report.txt"
Check "PrintDoc of a missing file", c.PrintDoc(), "-1|File Not Found!"
Check "its events", events, "PrintError -1 Integer File Not Found!;"
events = ""
rewrite = True
Check "PrintDoc of a missing file, the handler rewriting", c.PrintDoc("Corvane PDF"), "-1|File Not Found!"
Check "its events", events, "PrintError -1 Integer File Not Found!;"
events = ""
Check "PrintTextFile of a missing file, the handler rewriting", c.PrintTextFile("C:\corvane-no-such-folder\a.txt"), "-1|File Not Found!"
Check "its events", events, "PrintError -1 Integer File Not Found!;"
events = ""
Check "PrintRTFFile of a missing file, the handler rewriting", c.PrintRTFFile("C:\corvane-no-such-folder\a.rtf"), "-1|File Not Found!"
Check "its events", events, "PrintError -1 Integer File Not Found!;"
rewrite = False
events = ""

' A text document to "Corvane PDF": one page, its PrintProgress before PrintComplete.
c.FileName = ""
c.DocTitle = "Quarterly Report"
c.DocText = "Hello from VBScript on Windows"
result = c.PrintDoc("Corvane PDF")
Check "PrintDoc's result", IsEmpty(result), True
Check "its events", events, "PrintProgress 1 Integer;PrintComplete;"
Check "DocTitle after printing", c.DocTitle, "Quarterly Report"
Check "DocText after printing", c.DocText, "Hello from VBScript on Windows"
WScript.Echo "all", checks, "checks passed"
