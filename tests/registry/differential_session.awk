# One generated session of Registry and Declares calls for the tool's shell:
#   awk -v seed=N [-v letters="a|b|..."] -f differential_session.awk
# With letters (characters of a code page and a few it lacks), half the texts are random words
# of them, and Tarnel's text calls (Encrypt and Decrypt, Splits, sSplit, scramb) join in.
# The same seed gives the same session on every machine (a generator of its own, exact in awk's
# arithmetic).
function rnd(n) {
  state = (state * 48271) % 2147483647
  return state % n
}
function pick(list,    items, n) {
  n = split(list, items, "|")
  return items[rnd(n) + 1]
}
function repeat(text, n,    out) {
  out = ""
  while (n-- > 0) out = out text
  return out
}
# A key path below the session's own key: mostly one used before; else one to three names,
# now and then many levels. Paths stay under 260 characters: Wine's ANSI opens refuse a longer
# subkey (it converts it in the thread's fixed buffer), which the platform's registry takes.
function path(    p, depth, i, next_) {
  # (relative to the root's own prefix, which adds at most 61 characters)
  if (used > 0 && rnd(10) < 6) return paths[rnd(used)]
  p = base
  depth = rnd(10) == 0 ? 12 + rnd(8) : 1 + rnd(3)
  for (i = 0; i < depth; ++i) {
    next_ = p "\\" (rnd(20) == 0 ? "Missing" : pick(keys))
    if (length(next_) < 199) p = next_
  }
  if (p == base) p = p "\\x"
  paths[used++] = p
  return p
}
function quoted(text) {
  gsub(/"/, "\"\"", text)
  return "\"" text "\""
}
function word(    out, n) {
  out = ""
  for (n = rnd(9); n > 0; --n) out = out pick(letters)
  return out
}
function text_data() {
  if (letters != "" && rnd(2)) return quoted(word())
  return pick("\"abc\"|\"\"|\" padded \"|\"Héllo wörld\"|\"Ž ž Œ œ Ÿ ÿ\"|\"Привет\"|" \
              "\"line\" & Chr(10) & \"feed\"|\"nul\" & Chr(0) & \"inside\"|long|\"Error\"|\"x\"")
}
function number() {
  return pick("0|42|-1|2147483647|-2147483648|&HFFFF|7")
}
BEGIN {
  state = seed % 2147483646 + 1
  for (i = 0; i < 5; ++i) rnd(1)
  # Each root's key for the session: the same keys are reached through a view and through the
  # key it stands for (HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE\Software\Classes, and so on).
  own = "Corvane Differential\\S" seed
  base = own
  keys = "Ab|aB|AB|Été|ÉTÉ|été|Žena|ŽENA|žena|Œuvre|œUVRE|ÿes|ŸES|Ключ|ΣΟΦΙΑ|Ab |x|x.y|" \
         repeat("n", 200)
  names = "|Nm|NM|nm|Ž|ž|Œ|œ|Ÿ|ÿ|É|é|Nm |Пароль|v" repeat("w", 300)
  print "long = " quoted(repeat("z", 300))
  for (call = 0; call < 60; ++call) {
    if (letters != "" && rnd(3) == 0) {
      text = quoted(word() pick(" |,|--|" pick(letters)) word())
      kind = rnd(4)
      if (kind == 0) print "c = Tarnel.Encrypt(" text ", " quoted(word()) ")\nprint c\nTarnel.Decrypt c, " \
                           quoted(word())
      else if (kind == 1) print "t = " text "\nn = " rnd(3) "\nparts = Empty\nr = Tarnel.Splits(t, " \
                                quoted(pick(" |,|--|" pick(letters))) ", parts, n)\nprint r, n, t, parts"
      else if (kind == 2) print "parts = Empty\nn = Tarnel.sSplit(" text ", " quoted(pick(" |, |" pick(letters))) \
                                ", parts)\nprint n, parts"
      else print "Tarnel.scramb " text
      continue
    }
    r = rnd(8)
    if (r < 4) { root = "HKEY_CURRENT_USER"; handle = "&H80000001"; prefix = "Software\\" }
    else if (r == 4) { root = "HKEY_CLASSES_ROOT"; handle = "&H80000000"; prefix = "" }
    else if (r == 5) { root = "HKEY_CURRENT_CONFIG"; handle = "&H80000005"; prefix = "Software\\" }
    else {
      root = "HKEY_LOCAL_MACHINE"
      handle = "&H80000002"
      prefix = pick("Software\\|Software\\Classes\\|" \
                    "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\")
    }
    p = prefix path()
    name = quoted(pick(names))
    kind = rnd(15)
    if (kind == 0) print "Registry.savekey " handle ", " quoted(p)
    else if (kind == 1) print "Registry.getstring " handle ", " quoted(p) ", " name
    else if (kind == 2) print "Registry.savestring " handle ", " quoted(p) ", " name ", " text_data()
    else if (kind == 3) print "Registry.getdword " handle ", " quoted(p) ", " name
    else if (kind == 4) print "Registry.SaveDword " handle ", " quoted(p) ", " name ", " number()
    else if (kind == 5) print "Registry.DeleteKey " handle ", " quoted(p)
    else if (kind == 6) print "Registry.DeleteValue " handle ", " quoted(p) ", " name
    else if (kind == 7) print "Declares.CreateKey " quoted(root "\\" p)
    else if (kind == 8) print "Declares.SetStringValue " quoted(root "\\" p) ", " name ", " text_data()
    else if (kind == 9) print "Declares.GetStringValue " quoted(root "\\" p) ", " name
    else if (kind == 10) print "Declares.SetDWORDValue " quoted(root "\\" p) ", " name ", " number()
    else if (kind == 11) print "Declares.GetDWORDValue " quoted(root "\\" p) ", " name
    else if (kind == 12) print "Declares.SetBinaryValue " quoted(root "\\" p) ", " name ", " text_data()
    else if (kind == 13) print "Declares.GetBinaryValue " quoted(root "\\" p) ", " name
    else print "Declares.DeleteKey " quoted(root "\\" p)
  }
}
