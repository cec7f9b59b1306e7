' Echo joins its arguments with spaces, one line a call, in UTF-8; Arguments holds what follows
' the script's name, by Count, Item, the default member and For Each.
' arg: first
' arg: two words
' arg: Grüße €
' expect-out: text 42 -1.5 True False Null
' expect-out: 
' expect-out: Grüße € Ω
' expect-out: 3 first two words Grüße €
' expect-out: each first
' expect-out: each two words
' expect-out: each Grüße €
' expect-out: -2147352565 There is no argument 3: the script was given 3, numbered from 0
WScript.Echo "text", 42, -1.5, True, False, Null
WScript.Echo
WScript.Echo "Grüße €", "Ω"
Set args = WScript.Arguments
WScript.Echo args.Count, args.Item(0), WScript.Arguments(1), args(2)
For Each a In args
    WScript.Echo "each", a
Next
On Error Resume Next
x = args(3)
WScript.Echo Err.Number, Err.Description
