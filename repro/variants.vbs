Option Explicit
Dim c, v, out, vals, names, i
vals = Array(Empty, Null, CInt(-1), CLng(-32769), CLng(32768), CDbl(2147483648), CDbl(-0.5), CDbl(2.5), CCur(12.5), _
  DateSerial(2026,12,9), True, "12", "abc", Array(1,2), CByte(255), CSng(1E+30), "", CInt(0), CInt(1), CInt(2), CInt(3))
names = Array("Empty","Null","Int-1","Long-32769","Long32768","Dbl2^31","Dbl-0.5","Dbl2.5","Cur12.5", _
  "Date","True","Str12","Strabc","Array","Byte255","Sng1e30","EmptyStr","Int0","Int1","Int2","Int3")
Sub Report(p, k)
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    out = "ok"
  End If
End Sub
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocTitleFont = c
  Else
    c.DocTitleFont = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocTitleFont
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocTitleFont Object -> " & out Else WScript.Echo "DocTitleFont " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocTextFont = c
  Else
    c.DocTextFont = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocTextFont
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocTextFont Object -> " & out Else WScript.Echo "DocTextFont " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocHeaderFont = c
  Else
    c.DocHeaderFont = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocHeaderFont
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocHeaderFont Object -> " & out Else WScript.Echo "DocHeaderFont " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocFooterFont = c
  Else
    c.DocFooterFont = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocFooterFont
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocFooterFont Object -> " & out Else WScript.Echo "DocFooterFont " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PrintBorder = c
  Else
    c.PrintBorder = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PrintBorder
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PrintBorder Object -> " & out Else WScript.Echo "PrintBorder " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.LineBelowHeader = c
  Else
    c.LineBelowHeader = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.LineBelowHeader
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "LineBelowHeader Object -> " & out Else WScript.Echo "LineBelowHeader " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.LineAboveFooter = c
  Else
    c.LineAboveFooter = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.LineAboveFooter
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "LineAboveFooter Object -> " & out Else WScript.Echo "LineAboveFooter " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocTitle = c
  Else
    c.DocTitle = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocTitle
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocTitle Object -> " & out Else WScript.Echo "DocTitle " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocText = c
  Else
    c.DocText = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocText
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocText Object -> " & out Else WScript.Echo "DocText " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocHeader = c
  Else
    c.DocHeader = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocHeader
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocHeader Object -> " & out Else WScript.Echo "DocHeader " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.DocFooter = c
  Else
    c.DocFooter = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.DocFooter
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "DocFooter Object -> " & out Else WScript.Echo "DocFooter " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.FileName = c
  Else
    c.FileName = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.FileName
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "FileName Object -> " & out Else WScript.Echo "FileName " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.MarginLeft = c
  Else
    c.MarginLeft = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.MarginLeft
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "MarginLeft Object -> " & out Else WScript.Echo "MarginLeft " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.MarginRight = c
  Else
    c.MarginRight = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.MarginRight
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "MarginRight Object -> " & out Else WScript.Echo "MarginRight " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.MarginTop = c
  Else
    c.MarginTop = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.MarginTop
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "MarginTop Object -> " & out Else WScript.Echo "MarginTop " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.MarginBottom = c
  Else
    c.MarginBottom = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.MarginBottom
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "MarginBottom Object -> " & out Else WScript.Echo "MarginBottom " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.Copies = c
  Else
    c.Copies = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.Copies
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "Copies Object -> " & out Else WScript.Echo "Copies " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.IncludeDateTime = c
  Else
    c.IncludeDateTime = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.IncludeDateTime
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "IncludeDateTime Object -> " & out Else WScript.Echo "IncludeDateTime " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.AllDataFromFile = c
  Else
    c.AllDataFromFile = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.AllDataFromFile
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "AllDataFromFile Object -> " & out Else WScript.Echo "AllDataFromFile " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.LineSpacing = c
  Else
    c.LineSpacing = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.LineSpacing
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "LineSpacing Object -> " & out Else WScript.Echo "LineSpacing " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PaperOrientation = c
  Else
    c.PaperOrientation = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PaperOrientation
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PaperOrientation Object -> " & out Else WScript.Echo "PaperOrientation " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.BorderLineWidth = c
  Else
    c.BorderLineWidth = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.BorderLineWidth
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "BorderLineWidth Object -> " & out Else WScript.Echo "BorderLineWidth " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PaperSize = c
  Else
    c.PaperSize = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PaperSize
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PaperSize Object -> " & out Else WScript.Echo "PaperSize " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PrintQuality = c
  Else
    c.PrintQuality = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PrintQuality
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PrintQuality Object -> " & out Else WScript.Echo "PrintQuality " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PaperBin = c
  Else
    c.PaperBin = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PaperBin
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PaperBin Object -> " & out Else WScript.Echo "PaperBin " & names(i) & " -> " & out
Next
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.PrintPageNumber = c
  Else
    c.PrintPageNumber = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.PrintPageNumber
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "PrintPageNumber Object -> " & out Else WScript.Echo "PrintPageNumber " & names(i) & " -> " & out
Next
