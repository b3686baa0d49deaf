' The start of every VBScript suite (run_script.sh puts it in front of the suite): explicit
' declarations, and Check(), which names a failed check and counts it.
Option Explicit

Dim failures : failures = 0

Sub Check(name, got, expected)
  If TypeName(got) <> TypeName(expected) Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got a " & TypeName(got) & ", expected a " & TypeName(expected)
  ElseIf got <> expected Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got [" & got & "], expected [" & expected & "]"
  End If
End Sub
