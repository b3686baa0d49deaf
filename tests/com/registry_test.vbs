' Registry through late binding from VBScript over the real registry: values written by our
' methods read with WScript.Shell's RegRead and the reverse, the settings path written back,
' and hKey never written. Scripts hold no key handles of their own, so they use the roots.
' Check() and the failure count come from check.vbs, which run_script.sh puts in front.

Dim r : Set r = CreateObject("Corvane.Registry")
Dim shell : Set shell = CreateObject("WScript.Shell")
Const HKCU = &H80000001

Dim h, path, name, data
h = HKCU : path = "Software\CorvaneRegVbs" : name = "Text" : data = "hello"
r.savestring h, path, name, data
Check "hKey never written", h, HKCU
Check "savestring read by RegRead", shell.RegRead("HKCU\Software\CorvaneRegVbs\Text"), "hello"
r.SaveDword HKCU, "Software\CorvaneRegVbs", "Number", 42
Check "SaveDword read by RegRead", shell.RegRead("HKCU\Software\CorvaneRegVbs\Number"), CLng(42)

shell.RegWrite "HKCU\Software\CorvaneRegVbs\Shell", "from the shell", "REG_SZ"
shell.RegWrite "HKCU\Software\CorvaneRegVbs\Count", 7, "REG_DWORD"
h = HKCU : path = "Software\CorvaneRegVbs" : name = "Shell"
Check "RegWrite read by getstring", r.getstring(h, path, name), "from the shell"
Check "RegWrite read by getdword", r.getdword(HKCU, "Software\CorvaneRegVbs", "Count"), CLng(7)
Check "getdword of a text", r.getdword(HKCU, "Software\CorvaneRegVbs", "Shell"), CLng(0)
name = "Missing"
Check "missing value", IsEmpty(r.getstring(h, path, name)), True

shell.RegWrite "HKCU\Software\QUOLV\Registry\Options\Mode", "fast", "REG_SZ"
path = "\Options" : name = "Mode"
Check "getstringx", r.getstringx(path, name), "fast"
Check "getstringx path written back", path, "Software\QUOLV\Registry\Options"

h = HKCU : path = "Software\CorvaneRegVbs\Made"
r.savekey h, path
Check "savekey made the key", r.getdword(HKCU, "Software\CorvaneRegVbs\Made", "x"), CLng(0)
r.DeleteValue HKCU, "Software\CorvaneRegVbs", "Number"
Check "DeleteValue", r.getdword(HKCU, "Software\CorvaneRegVbs", "Number"), CLng(0)
Check "DeleteKey returns Empty", IsEmpty(r.DeleteKey(HKCU, "Software\CorvaneRegVbs\Made")), True
r.DeleteKey HKCU, "Software\CorvaneRegVbs"
r.DeleteKey HKCU, "Software\QUOLV\Registry\Options"
r.DeleteKey HKCU, "Software\QUOLV\Registry"
r.DeleteKey HKCU, "Software\QUOLV"
h = HKCU : path = "Software\CorvaneRegVbs" : name = "Text"
Check "all gone", IsEmpty(r.getstring(h, path, name)), True

If failures = 0 Then WScript.Echo "ALL PASSED"
WScript.Quit failures
