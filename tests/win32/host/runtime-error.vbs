' A run-time error ends the script with status 1 and names the line and what went wrong.
' expect-out: before
' expect-err: runtime-error.vbs(9, 1) Division by zero (0x80020012)
' expect-exit: 1
WScript.Echo "before"
Dim x
x = 0
' line 9 divides:
y = 1 / x
WScript.Echo "after"
