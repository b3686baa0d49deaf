// Tarnel from JScript, which passes every argument by value.
var failures = 0;
function check(name, got, expected) {
  if (got !== expected) {
    failures++;
    WScript.Echo("FAIL " + name + ": got [" + got + "], expected [" + expected + "]");
  }
}

var t = new ActiveXObject("Corvane.Tarnel");
check("encrypt", t.Encrypt("abcdef", ""), "]hdkeh");
check("decrypt", t.Decrypt("]hdkeh", ""), "abcdef");
check("undefined is empty", t.Encrypt(undefined, ""), "");
check("number", t.Encrypt(123, ""), t.Encrypt("123", ""));

try {
  t.Encrypt(new Array(300).join("a"), "p");
  check("long text fails", "no error", "error");
} catch (e) {
  check("long text number", e.number & 0xFFFF, 6);
  check("long text description", e.description, "Overflow");
}
try {
  t.Encrypt(null, "p");
  check("null fails", "no error", "error");
} catch (e) {
  check("null number", e.number & 0xFFFF, 6);
}

// The other methods by value: results come back; no argument is written.
check("scramb", t.scramb("abcdef"), "bdface");
check("sSplit count", t.sSplit("a b;c", "", undefined), 2);
check("Splits result", t.Splits("ab,cd", ",", undefined, 0), 0);
check("Splits empty separator", t.Splits("abc", "", undefined, 0), 5);
check("pause 0 gives Empty", t.TimedPause(0), undefined);

if (failures == 0) WScript.Echo("ALL PASSED");
WScript.Quit(failures);
