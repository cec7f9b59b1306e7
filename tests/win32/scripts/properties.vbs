' CorvaneCOM.Corvane's properties from VBScript: every default of a new object with its
' automation type, every write check at and past its bounds, writes stored unchanged, and every
' enumerator's value taken and read back by the property of its enumeration.
' expect-last: all 150 checks passed
Option Explicit
Dim checks, c
checks = 0

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

Set c = WScript.CreateObject("CorvaneCOM.Corvane")

' The defaults of a new object, in interface order.
Check "DocTitleFont", c.DocTitleFont, "Arial,10,0,0,0"
Check "DocTextFont", c.DocTextFont, "Arial,10,0,0,0"
Check "DocHeaderFont", c.DocHeaderFont, "Arial,10,0,0,0"
Check "DocFooterFont", c.DocFooterFont, "Arial,10,0,0,0"
Check "PrintBorder", c.PrintBorder, False
Check "LineBelowHeader", c.LineBelowHeader, False
Check "LineAboveFooter", c.LineAboveFooter, False
Check "DocTitle", c.DocTitle, ""
Check "DocText", c.DocText, ""
Check "DocHeader", c.DocHeader, ""
Check "DocFooter", c.DocFooter, ""
Check "FileName", c.FileName, ""
Check "MarginLeft", c.MarginLeft, CInt(1440)
Check "MarginRight", c.MarginRight, CInt(1440)
Check "MarginTop", c.MarginTop, CInt(1440)
Check "MarginBottom", c.MarginBottom, CInt(1440)
Check "Copies", c.Copies, CInt(1)
Check "IncludeDateTime", c.IncludeDateTime, False
Check "AllDataFromFile", c.AllDataFromFile, False
Check "LineSpacing", c.LineSpacing, CLng(1)
Check "PaperOrientation", c.PaperOrientation, CLng(1)
Check "BorderLineWidth", c.BorderLineWidth, CInt(1)
Check "PaperSize", c.PaperSize, CLng(1)
Check "PrintQuality", c.PrintQuality, CLng(3)
Check "PaperBin", c.PaperBin, CLng(7)
Check "PrintPageNumber", c.PrintPageNumber, False

' Properties named at run time, for the tables below.
Sub SetNumber(name, value)
    Select Case name
        Case "MarginLeft": c.MarginLeft = value
        Case "MarginRight": c.MarginRight = value
        Case "MarginTop": c.MarginTop = value
        Case "MarginBottom": c.MarginBottom = value
        Case "PaperOrientation": c.PaperOrientation = value
        Case "LineSpacing": c.LineSpacing = value
        Case "PrintQuality": c.PrintQuality = value
        Case "PaperBin": c.PaperBin = value
        Case "PaperSize": c.PaperSize = value
    End Select
End Sub
Function GetNumber(name)
    Select Case name
        Case "MarginLeft": GetNumber = c.MarginLeft
        Case "MarginRight": GetNumber = c.MarginRight
        Case "MarginTop": GetNumber = c.MarginTop
        Case "MarginBottom": GetNumber = c.MarginBottom
        Case "PaperOrientation": GetNumber = c.PaperOrientation
        Case "LineSpacing": GetNumber = c.LineSpacing
        Case "PrintQuality": GetNumber = c.PrintQuality
        Case "PaperBin": GetNumber = c.PaperBin
        Case "PaperSize": GetNumber = c.PaperSize
    End Select
End Function

' The write checks: a value out of range leaves the previous one, without an error.
Sub CheckMargin(name, low, high)
    Dim steps, i
    steps = Array(720, 720, low - 1, 720, low, low, high, high, high + 1, high, -1, high, 720, 720)
    For i = 0 To UBound(steps) Step 2
        SetNumber name, steps(i)
        Check name & " after writing " & steps(i), GetNumber(name), CInt(steps(i + 1))
    Next
End Sub
CheckMargin "MarginLeft", 100, 5000
CheckMargin "MarginRight", 100, 5000
CheckMargin "MarginTop", 200, 10000
CheckMargin "MarginBottom", 200, 10000
Dim copiesSteps, i
copiesSteps = Array(5, 5, 0, 5, -1, 5, -32768, 5, 1, 1, 32767, 32767, 0, 32767)
For i = 0 To UBound(copiesSteps) Step 2
    c.Copies = copiesSteps(i)
    Check "Copies after writing " & copiesSteps(i), c.Copies, CInt(copiesSteps(i + 1))
Next

' Writes without a check store the value as the property's type holds it.
c.DocTitleFont = "Courier New,12,1,0,0"
Check "DocTitleFont written", c.DocTitleFont, "Courier New,12,1,0,0"
c.DocTextFont = "not a font"
Check "DocTextFont written", c.DocTextFont, "not a font"
c.DocHeaderFont = ""
Check "DocHeaderFont written", c.DocHeaderFont, ""
c.DocFooterFont = "Times New Roman,8,0,1,1"
Check "DocFooterFont written", c.DocFooterFont, "Times New Roman,8,0,1,1"
c.PrintBorder = 7
Check "PrintBorder after writing 7", TypeName(c.PrintBorder), "Boolean"
Check "PrintBorder keeps the 7 written", CInt(c.PrintBorder), CInt(7)
c.PrintBorder = False
Check "PrintBorder written False", c.PrintBorder, False
c.LineBelowHeader = True
Check "LineBelowHeader written", c.LineBelowHeader, True
c.LineAboveFooter = True
Check "LineAboveFooter written", c.LineAboveFooter, True
c.DocTitle = "Grüße, Ω"
Check "DocTitle written", c.DocTitle, "Grüße, Ω"
c.DocText = "line one" & vbCrLf & "line two"
Check "DocText written", c.DocText, "line one" & vbCrLf & "line two"
c.DocHeader = 2.5
Check "DocHeader after writing 2.5", c.DocHeader, "2.5"
c.DocFooter = "footer"
Check "DocFooter written", c.DocFooter, "footer"
c.FileName = "C:\no\such\file.txt"
Check "FileName written", c.FileName, "C:\no\such\file.txt"
c.IncludeDateTime = True
Check "IncludeDateTime written", c.IncludeDateTime, True
c.AllDataFromFile = True
Check "AllDataFromFile written", c.AllDataFromFile, True
c.PrintPageNumber = True
Check "PrintPageNumber written", c.PrintPageNumber, True
c.BorderLineWidth = -3
Check "BorderLineWidth after writing -3", c.BorderLineWidth, CInt(-3)
c.BorderLineWidth = 25
Check "BorderLineWidth after writing 25", c.BorderLineWidth, CInt(25)
c.PaperOrientation = 5
Check "PaperOrientation after writing 5", c.PaperOrientation, CLng(5)
c.LineSpacing = 0
Check "LineSpacing after writing 0", c.LineSpacing, CLng(0)
c.PrintQuality = -4
Check "PrintQuality after writing -4", c.PrintQuality, CLng(-4)
c.PaperBin = 12
Check "PaperBin after writing 12", c.PaperBin, CLng(12)
c.PaperSize = 1000
Check "PaperSize after writing 1000", c.PaperSize, CLng(1000)

' Every enumerator's value, through the property of its enumeration.
Sub CheckEnumeration(prop, values)
    Dim v
    For Each v In values
        SetNumber prop, v
        Check prop & " = " & v, GetNumber(prop), CLng(v)
    Next
End Sub
CheckEnumeration "PaperOrientation", Array(1, 2)
CheckEnumeration "LineSpacing", Array(1, 2, 3)
CheckEnumeration "PrintQuality", Array(1, 2, 3, 4)
CheckEnumeration "PaperBin", Array(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14)
CheckEnumeration "PaperSize", Array(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, _
    21, 22, 23, 24, 25, 26, 27, 29, 30, 28, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41)

' A second object starts from the defaults again.
Dim fresh
Set fresh = WScript.CreateObject("CorvaneCOM.Corvane")
Check "a new object's MarginLeft", fresh.MarginLeft, CInt(1440)
Check "a new object's PaperSize", fresh.PaperSize, CLng(1)
Check "a new object's DocTitle", fresh.DocTitle, ""
WScript.Echo "all", checks, "checks passed"
