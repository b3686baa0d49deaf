' Declares through late binding from VBScript over the real registry: key paths written back
' into the script's variables, values written by our methods read with WScript.Shell's RegRead
' and the reverse, and the readers' failures.
' Check() and the failure count come from check.vbs, which run_script.sh puts in front.

Dim d : Set d = CreateObject("Corvane.Declares")
Dim shell : Set shell = CreateObject("WScript.Shell")
Const kRoot = "HKEY_CURRENT_USER\Software\CorvaneVbs"

Dim path, entry, value, result
path = kRoot
Check "create returns Empty", IsEmpty(d.CreateKey(path)), True
Check "path written back", path, "Software\CorvaneVbs"

path = kRoot : entry = "Name" : value = "abc"
d.SetStringValue path, entry, value
Check "text read by RegRead", shell.RegRead(kRoot & "\Name"), "abc"
path = kRoot : entry = "Name"
Check "text read back", d.GetStringValue(path, entry), "abc"

shell.RegWrite kRoot & "\Shell", "from the shell", "REG_SZ"
path = kRoot : entry = "Shell"
Check "RegWrite read by us", d.GetStringValue(path, entry), "from the shell"

path = kRoot : entry = "Count" : value = 42
d.SetDWORDValue path, entry, value
Check "dword read by RegRead", shell.RegRead(kRoot & "\Count"), CLng(42)
shell.RegWrite kRoot & "\Other", 7, "REG_DWORD"
path = kRoot : entry = "Other"
Check "RegWrite dword read by us", d.GetDWORDValue(path, entry), CLng(7)

path = kRoot : entry = "Bin" : value = "a" & vbLf & "c"
d.SetBinaryValue path, entry, value
path = kRoot : entry = "Bin"
Check "binary read back", d.GetBinaryValue(path, entry), "a" & Chr(0) & "c"

path = kRoot : entry = "Missing"
Check "missing value", d.GetStringValue(path, entry), "Error"
path = "HKEY_NOWHERE\Software" : entry = "x"
Check "unknown root", IsEmpty(d.GetStringValue(path, entry)), True
Check "unknown root path rewritten", path, "Software"

Dim root : root = "HKEY_USERS"
Check "GetMainKeyHandle", d.GetMainKeyHandle(root), CLng(-2147483645)
Dim code : code = 2
Check "ErrorMsg", d.ErrorMsg(code), "Bad Key Name"
code = 0
Check "ErrorMsg of 0", d.ErrorMsg(code), "Undefined Error Code:   0"

On Error Resume Next
path = kRoot : entry = "Empty" : value = ""
d.SetBinaryValue path, entry, value
Check "empty binary raises 9", Err.Number, CLng(9)
Err.Clear
On Error GoTo 0

path = kRoot
Check "DeleteKey returns Empty", IsEmpty(d.DeleteKey(path)), True
Check "DeleteKey path written back", path, "Software\CorvaneVbs"
path = kRoot : entry = "Name"
Check "gone", d.GetStringValue(path, entry), "Error"

If failures = 0 Then WScript.Echo "ALL PASSED"
WScript.Quit failures
