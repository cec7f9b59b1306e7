#!/usr/bin/env bash
# Writes variants.vbs: every kind of Variant into every property of CorvaneCOM.Corvane, each
# on a new object, echoing "property kind -> TypeName:read-back" or "ERR number description".
props="DocTitleFont DocTextFont DocHeaderFont DocFooterFont PrintBorder LineBelowHeader LineAboveFooter DocTitle DocText DocHeader DocFooter FileName MarginLeft MarginRight MarginTop MarginBottom Copies IncludeDateTime AllDataFromFile LineSpacing PaperOrientation BorderLineWidth PaperSize PrintQuality PaperBin PrintPageNumber"
cat <<'VBS'
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
VBS
for p in $props; do
cat <<VBS
For i = 0 To UBound(vals) + 1
  Set c = CreateObject("CorvaneCOM.Corvane")
  On Error Resume Next
  If i > UBound(vals) Then
    c.$p = c
  Else
    c.$p = vals(i)
  End If
  If Err.Number <> 0 Then
    out = "ERR " & Err.Number & " " & Err.Description
  Else
    v = c.$p
    out = TypeName(v) & ":" & v
  End If
  Err.Clear
  On Error GoTo 0
  If i > UBound(vals) Then WScript.Echo "$p Object -> " & out Else WScript.Echo "$p " & names(i) & " -> " & out
Next
VBS
done
