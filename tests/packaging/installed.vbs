' One call of each class, through the registration a package wrote.
Set t = CreateObject("Corvane.Tarnel")
WScript.Echo t.scramb("abcdef")
Set r = CreateObject("Corvane.Registry")
WScript.Echo r.getdword(&H80000001, "Software\Corvane Package Test", "Missing")
Set d = CreateObject("Corvane.Declares")
WScript.Echo d.ErrorMsg(1013)
