' Tarnel's scrambler, splitters and timed pause through late binding from VBScript: results,
' the write-backs into the script's variables, and the arrays a script can index.
' Check() and the failure count come from check.vbs, which run_script.sh puts in front.

Function Joined(arr)
  Dim i, out
  out = ""
  For i = LBound(arr) To UBound(arr)
    If i > LBound(arr) Then out = out & "|"
    out = out & arr(i)
  Next
  Joined = out
End Function

Dim t : Set t = CreateObject("Corvane.Tarnel")

' scramb: evens then odds; the argument is never written.
Dim s : s = "abcdef"
Check "scramb", t.scramb(s), "bdface"
Check "scramb argument", s, "abcdef"
Dim n : n = 12345
Check "scramb of a number", t.scramb(n), "24135"
Check "scramb leaves a number a number", n, 12345
On Error Resume Next
Dim huge : huge = String(32768, "a")
s = t.scramb(huge)
Check "scramb beyond 32767", Err.Number, CLng(6)
Err.Clear
On Error GoTo 0

' Splits: the terminated text comes back, the counter is raised, an Empty variable receives
' an array of variants that the script can index.
Dim chaine, separ, tableau, count, result
chaine = "ab,cd" : separ = "," : count = 0
result = t.Splits(chaine, separ, tableau, count)
Check "Splits result", result, CInt(0)
Check "Splits chaine", chaine, "ab,cd,"
Check "Splits count", count, CInt(2)
Check "Splits count kind", TypeName(count), "Integer"
Check "Splits array", IsArray(tableau), True
Check "Splits upper bound", UBound(tableau), CLng(1)
Check "Splits elements", Joined(tableau), "ab|cd"
' Called again with the same array and counter: appends.
chaine = "e"
result = t.Splits(chaine, separ, tableau, count)
Check "Splits appends", Joined(tableau), "ab|cd|e"
Check "Splits count again", count, CInt(3)
Dim item, seen : seen = ""
For Each item In tableau
  seen = seen & item
Next
Check "For Each over the array", seen, "abcde"
' An empty separator changes nothing.
chaine = "abc" : separ = ""
Dim untouched
result = t.Splits(chaine, separ, untouched, count)
Check "Splits empty separator", result, CInt(5)
Check "Splits empty separator chaine", chaine, "abc"
Check "Splits empty separator array", IsEmpty(untouched), True
Check "Splits empty separator count", count, CInt(3)
' A negative counter is refused with 9.
Dim negative : negative = -1 : separ = ","
Check "Splits negative nb_elem", t.Splits(chaine, separ, untouched, negative), CInt(9)

' sSplit: the default set comes back in the variable; the array is replaced.
Dim delims, parts
delims = ""
parts = Array("old1", "old2", "old3", "old4")
Check "sSplit result", t.sSplit("a b;c", delims, parts), CLng(2)
Check "sSplit default set", delims, " ;" & Chr(0) & vbTab & vbLf & vbCr
Check "sSplit elements", Joined(parts), "a|b|c"
Check "sSplit upper bound", UBound(parts), CLng(2)
Dim text : text = "x,y"
delims = ","
Check "sSplit one delimiter", t.sSplit(text, delims, parts), CLng(1)
Check "sSplit leaves its text", text, "x,y"
Check "sSplit two elements", Joined(parts), "x|y"
delims = ","
Check "sSplit of empty", t.sSplit("", delims, parts), CLng(-1)
Check "sSplit of empty leaves one element", UBound(parts), CLng(0)
' One variable for the ByVal text and the ByRef delimiters: the text is a copy.
Dim both : both = ""
Check "sSplit one variable", t.sSplit(both, both, parts), CLng(-1)
Check "sSplit one variable delimiters", Len(both), CLng(6)

' TimedPause: 0 and negative return at once with Empty; secs is never written.
Dim secs : secs = 0
Check "pause 0", IsEmpty(t.TimedPause(secs)), True
secs = -5
Check "pause negative", IsEmpty(t.TimedPause(secs)), True
Check "pause secs untouched", secs, -5
secs = 1
Dim started : started = Timer
Check "pause 1", IsEmpty(t.TimedPause(secs)), True
Check "pause 1 waits at most a second or so", Timer - started < 3, True
Check "pause 1 secs untouched", TypeName(secs), "Integer"

If failures = 0 Then WScript.Echo "ALL PASSED"
WScript.Quit failures
