' The splitters through COM from VBScript, side by side with VBScript's own Split on the same
' text: time per element at 1 KiB to 1 MiB of text (Splits up to the largest text it cuts
' whole). Prints one line per size; flat columns mean linear cost.
Option Explicit

Dim t : Set t = CreateObject("Corvane.Tarnel")

Function ListText(bytes, delimiter)
  Dim unit, count
  unit = "element" & delimiter
  count = Int(bytes / 16)
  ListText = Replace(Space(count), " ", unit)
End Function

' Seconds per call of `kind` on `text`, over at least half a second of calls.
Function SecondsPerCall(kind, text)
  Dim calls, started, elapsed, d, arr, c, sep, n, r
  calls = 0
  started = Timer
  Do
    Select Case kind
      Case "sSplit"
        d = ""
        r = t.sSplit(text, d, arr)
      Case "Splits"
        c = text : sep = "," : n = 0 : arr = Empty
        r = t.Splits(c, sep, arr, n)
      Case "Split"
        arr = Split(text, " ")
    End Select
    calls = calls + 1
    elapsed = Timer - started
  Loop While elapsed < 0.5
  SecondsPerCall = elapsed / calls
End Function

Dim sizes : sizes = Array(1024, 4096, 16384, 65500, 262144, 1048576)
Dim size, elements, spaced, commas, line
WScript.Echo "text bytes   elements   ns/element: sSplit   Split (VBScript)   Splits"
For Each size In sizes
  spaced = ListText(size, " ")
  commas = ListText(size, ",")
  elements = Len(spaced) / 8
  line = Right(Space(10) & size, 10) & Right(Space(11) & elements, 11)
  line = line & Right(Space(20) & FormatNumber(SecondsPerCall("sSplit", spaced) / elements * 1e9, 0), 20)
  line = line & Right(Space(19) & FormatNumber(SecondsPerCall("Split", spaced) / elements * 1e9, 0), 19)
  If size <= 65500 Then
    line = line & Right(Space(9) & FormatNumber(SecondsPerCall("Splits", commas) / elements * 1e9, 0), 9)
  Else
    line = line & "        -"
  End If
  WScript.Echo line
Next
