' Tarnel through late binding from VBScript: the cipher, the key written back into the
' script's variables, one variable for both arguments, and the errors a script sees.
' Check() and the failure count come from check.vbs, which run_script.sh puts in front.

Dim t : Set t = CreateObject("Corvane.Tarnel")
Dim text, pass, result

' The worked example; the key replaces the pass phrase in the script's variable.
text = "abcdef" : pass = ""
result = t.Encrypt(text, pass)
Check "encrypt", result, "]hdkeh"
Check "key type", TypeName(pass), "Integer"
Check "key value", pass, CInt(0)
Check "text untouched", text, "abcdef"
pass = ""
Check "decrypt", t.Decrypt(result, pass), "abcdef"

' A pass phrase whose key is not 0, handed in afresh for each call.
pass = "secret"
result = t.Encrypt("Meet me at noon", pass)
Check "secret key", pass, CInt(10)
pass = "secret"
Check "round trip", t.Decrypt(result, pass), "Meet me at noon"

' Reusing the overwritten variable derives the key from its decimal text.
pass = "secret"
result = t.Encrypt("abcdef", pass)
Check "reused variable decrypts wrongly", t.Decrypt(result, pass) = "abcdef", False

' Literals and parenthesised variables go by value and are not written.
pass = "secret"
result = t.Encrypt(text, (pass))
Check "parenthesised stays", pass, "secret"
Check "literals", t.Encrypt("abcdef", ""), "]hdkeh"

' One variable for both arguments: the key is written before the text is read.
Dim both : both = "hello"
result = t.Encrypt(both, both)
Check "one variable result", result, "<"
Check "one variable key", both, CInt(8)

' Numbers are enciphered as their decimal text; names are case-insensitive.
Dim n : n = 123
pass = ""
Check "number", t.ENCRYPT(n, pass), t.encrypt("123", "")
Check "number untouched", n, 123

' Errors.
On Error Resume Next
Dim big : big = String(256, "a")
pass = "p"
result = t.Encrypt(big, pass)
Check "long text number", Err.Number, CLng(6)
Check "long text description", Err.Description, "Overflow"
Check "long text source", Err.Source, "Corvane.Tarnel"
Check "pass untouched after the error", pass, "p"
Err.Clear
result = t.Decrypt(Null, pass)
Check "Null text", Err.Number, CLng(6)
Err.Clear
result = t.Encrypt(text)
Check "too few arguments", Err.Number, CLng(450)
Err.Clear
result = t.Encrypt(text, pass, pass)
Check "too many arguments", Err.Number, CLng(450)
Err.Clear
result = t.NoSuchMethod(text)
Check "unknown name", Err.Number, CLng(438)
Err.Clear
On Error GoTo 0

'' A variable the method only reads keeps its kind; its text is what the script would print.
Dim flag : flag = True
pass = "k"
Check "Boolean read as its text", t.Encrypt(flag, pass), t.Encrypt("True", "k")
Check "Boolean untouched", flag, True
Dim small : small = CByte(7)
pass = "k"
Check "Byte read as its text", t.Encrypt(small, pass), t.Encrypt("7", "k")
Check "Byte untouched", small, CByte(7)
Dim single : single = CSng(0.1)
pass = "k"
Check "Single read as its text", t.Encrypt(single, pass), t.Encrypt("0.1", "k")
Check "Single untouched", single, CSng(0.1)
Dim money : money = CCur(1.5)
pass = "k"
Check "Currency read as its text", t.Encrypt(money, pass), t.Encrypt(CStr(money), "k")
Check "Currency untouched", money, CCur(1.5)
Dim day : day = DateSerial(2001, 4, 19)
pass = "k"
Check "Date read as its text", t.Encrypt(day, pass), t.Encrypt(CStr(day), "k")
Check "Date untouched", day, DateSerial(2001, 4, 19)

' The other classes can be created.
Dim r : Set r = CreateObject("Corvane.Registry")
Dim d : Set d = CreateObject("Corvane.Declares")
Check "registry object", IsObject(r), True
Check "declares object", IsObject(d), True

If failures = 0 Then WScript.Echo "ALL PASSED"
WScript.Quit failures
