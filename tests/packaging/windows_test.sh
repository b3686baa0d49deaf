#!/bin/sh
# Corvane for Windows as it ships, under Wine, each case in a fresh prefix. Usage:
#   windows_test.sh ROOT DIST [SIGNED]
# ROOT is the checkout (its build/win32 and build/win64 trees built, build/package-windows
# staged by scripts/package.sh windows), DIST holds the packages and archives.
#   - the x64 package installed with msiexec /i /qn: the 64-bit and, where this machine runs
#     32-bit programs, the 32-bit cscript create every class and call it; the keys of ours in
#     both views of the registry equal what regsvr32 of the same DLLs writes in a fresh prefix;
#     msiexec /x /qn leaves no file and no key, and the classes are not registered;
#   - an older package (1.0.0, the same sources), then the current one: one product remains,
#     with the new files, and the classes work; the older one is then refused (its launch
#     condition, which carries the message);
#   - the x64 package given a folder it cannot write: msiexec's failure code, nothing left;
#   - the x86 package the same way in a 32-bit prefix, where this machine runs 32-bit programs;
#   - the older package into folders of the user's choosing, then the current one without them:
#     the upgrade keeps the folders, and msiexec /x leaves no file and no key;
#   - registration-free, with nothing registered: the host with an embedded application manifest
#     run from each portable archive;
#   - with SIGNED (a signed release's dist/, optional): its 64-bit DLL registered by regsvr32 and
#     called, and its x64 package installed and called.
# With CORVANE_BRANCHES_ONLY set, only the cases that differ without 32-bit programs run.
# A case this machine cannot run is printed as skipped, never as passed.
root=$1
dist=$2
signed=${3:-}
here=$root/tests/packaging
win64=$root/build/win64/wine
win32=$root/build/win32/wine
stage=$root/build/package-windows
work=$(mktemp -d)
status=0
trap '"$win64" wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; status=1; }
skip() { echo "skipped: $* (${CORVANE_SKIP_WIN32_REASON:-this machine cannot run 32-bit programs})"; }
msi64=$(ls "$dist"/Corvane-*-x64.msi)
msi86=$(ls "$dist"/Corvane-*-x86.msi)
version=$(basename "$msi64" | sed 's/^Corvane-\(.*\)-x64\.msi$/\1/')
can32=no
[ -z "${CORVANE_SKIP_WIN32:-}" ] && "$win32" --can-run >/dev/null 2>&1 && can32=yes

# fresh NAME [win32]: a new prefix for the commands that follow (a 32-bit one with win32).
fresh() {
  "$win64" wineserver -k 2>/dev/null
  export CORVANE_WINEPREFIX="$work/$1"
  if [ "${2:-}" = win32 ]; then
    native=$win32
    WINEARCH=win32 "$win32" wineboot -i >/dev/null 2>&1
  else
    native=$win64
    "$win64" wineboot -i >/dev/null 2>&1
  fi
}
windows_path() { "$native" winepath -w "$1" 2>/dev/null; }
drive_c() { echo "$CORVANE_WINEPREFIX/drive_c"; }

# keys: every registry key of ours in the prefix, in each view, with its values, sorted. Ours
# are the keys below the roots that the packages' registration entries name (CLSID\{...},
# Interface\{...}, TypeLib\{...}, the ProgIDs). HELPDIR reads "<a Corvane folder>": a package
# writes a folder as Windows Installer formats it, with a trailing backslash, and of two DLLs
# the last one registered names it.
sed -n 's/.*Key="\([^"]*\)".*/\1/p' "$stage"/registration-*.wxi |
  awk -F'\\' '{ r = ($1 ~ /^(CLSID|Interface|TypeLib)$/) ? $1 "\\" $2 : $1; print tolower(r) }' |
  sort -u >"$work/roots"
keys() {
  "$win64" wineserver -w 2>/dev/null
  awk -v roots="$work/roots" '
    BEGIN { while ((getline r < roots) > 0) ours[r] = 1 }
    /^\[/ {
      key = $0; sub(/^\[/, "", key); sub(/\] [0-9]+$/, "", key); gsub(/\\\\/, "\\", key)
      key = tolower(key); view = "64"
      if (key ~ /^software\\classes\\wow6432node\\/) { view = "32"; sub(/^software\\classes\\wow6432node\\/, "", key) }
      else if (key ~ /^software\\classes\\/) sub(/^software\\classes\\/, "", key)
      else { keep = 0; next }
      n = split(key, part, "\\"); root = (part[1] ~ /^(clsid|interface|typelib)$/) ? part[1] "\\" part[2] : part[1]
      keep = (root in ours); if (keep) print view " [" key "]"; next
    }
    keep && /^#/ { next }
    keep && /[^ ]/ { print view " [" key "] " $0 }
  ' "$CORVANE_WINEPREFIX/system.reg" |
    sed -e '/\\helpdir\] @=/s#@=.*#@="<a Corvane folder>"#' | sort
}

# list_keys: what the x64 package's entries for its 32-bit DLL write, as keys() prints it, from
# the generated registration list: CLSID and Interface in the 32-bit view, the keys both views
# share (TypeLib) as the 64-bit view shows them. A machine that cannot run the 32-bit regsvr32
# holds the package to this; one that can holds this to regsvr32.
list_keys() {
  DLL32='C:\Program Files (x86)\Corvane\Corvane.dll' awk '
    function attr(name) { return match($0, " " name "=\"[^\"]*\"") ? substr($0, RSTART + length(name) + 3, RLENGTH - length(name) - 4) : "" }
    function escaped(text,   out, i, c) {
      for (i = 1; i <= length(text); i++) { c = substr(text, i, 1); out = out (c == "\\" ? "\\\\" : c) }
      return out
    }
    /<RegistryValue / {
      key = tolower(attr("Key")); name = attr("Name"); value = attr("Value")
      if (value ~ /^\[#/) value = ENVIRON["DLL32"]
      view = (key ~ /^(clsid|interface)\\/) ? "32" : "64"
      print view " [" key "]"
      print view " [" key "] " (name == "" ? "@" : "\"" name "\"") "=\"" escaped(value) "\""
    }' "$stage/registration-win32.wxi" |
    sed -e '/\\helpdir\] @=/s#@=.*#@="<a Corvane folder>"#'
}

# works LOADER CSCRIPT: VBScript through that cscript creates every class and calls it.
works() {
  "$1" "$2" //nologo "$(windows_path "$here/installed.vbs")" 2>&1 | tr -d '\r' >"$work/vbs.out"
  printf 'bdface\n0\nCan'"'"'t Write Key\n' | diff -u - "$work/vbs.out" >/dev/null
}

# installed_files: the files of ours under the program folders.
installed_files() {
  find "$(drive_c)/Program Files/Corvane" "$(drive_c)/Program Files (x86)/Corvane" -type f 2>/dev/null
}

# The reference: both DLLs where the x64 package puts them, registered by regsvr32.
fresh reference
mkdir -p "$(drive_c)/Program Files/Corvane" "$(drive_c)/Program Files (x86)/Corvane"
cp "$root/build/win64/release/Corvane.dll" "$(drive_c)/Program Files/Corvane/"
cp "$root/build/win32/release/Corvane.dll" "$(drive_c)/Program Files (x86)/Corvane/"
"$win64" regsvr32 /s 'C:\Program Files\Corvane\Corvane.dll' || fail "regsvr32 of the 64-bit DLL"
{ keys; list_keys; } | sort -u >"$work/reference.keys"
if [ $can32 = yes ]; then
  "$win32" 'C:\windows\syswow64\regsvr32.exe' /s 'C:\Program Files (x86)\Corvane\Corvane.dll' ||
    fail "regsvr32 of the 32-bit DLL"
  keys >"$work/regsvr32.keys"
  diff -u "$work/regsvr32.keys" "$work/reference.keys" ||
    fail "the 32-bit DLL's registration list differs from what its regsvr32 writes"
else
  skip "the 32-bit regsvr32: its DLL's keys are held to the generated registration list"
fi

echo "== every PE file's version resource: the licence's copyright line, and the version"
copyright=$(grep -m 1 '^Copyright ' "$root/LICENSE")
for file in "$root"/build/win*/release/Corvane.dll "$root"/build/win*/release/corvane.exe; do
  strings -el "$file" | grep -qxF "$copyright" || fail "no copyright line in $file"
done

echo "== x64 package: $(basename "$msi64")"
fresh x64
"$win64" msiexec /i "$(windows_path "$msi64")" /qn || fail "msiexec /i exits with $?"
[ "$(installed_files | wc -l)" -eq 8 ] || { installed_files; fail "the x64 package installed other files"; }
grep -q '<h2>Installing on Windows</h2>' "$(drive_c)/Program Files/Corvane/README.html" &&
  grep -q '<h2>What to expect</h2>' "$(drive_c)/Program Files/Corvane/reference.html" ||
  fail "the README and the reference are not installed as HTML pages"
printf 'WScript.Echo CreateObject("Scripting.FileSystemObject").GetFileVersion(WScript.Arguments(0))\n' >"$work/version.vbs"
for file in 'C:\Program Files\Corvane\corvane.exe' 'C:\Program Files\Corvane\Corvane.dll'; do
  shown=$("$win64" cscript //nologo "$(windows_path "$work/version.vbs")" "$file" 2>/dev/null | tr -d '\r')
  [ "$shown" = "$version.0" ] || fail "$file shows version '$shown', not $version.0"
done
works "$win64" cscript || { cat "$work/vbs.out"; fail "64-bit cscript after the install"; }
if [ $can32 = yes ]; then
  works "$win32" 'C:\windows\syswow64\cscript.exe' || { cat "$work/vbs.out"; fail "32-bit cscript after the install"; }
else
  skip "32-bit cscript"
fi
keys >"$work/x64.keys"
diff -u "$work/reference.keys" "$work/x64.keys" || fail "the package's keys differ from regsvr32's"
[ -s "$work/x64.keys" ] || fail "no key of ours after the install"
"$win64" msiexec /x "$(windows_path "$msi64")" /qn || fail "msiexec /x exits with $?"
[ -z "$(installed_files)" ] || fail "files left after msiexec /x"
[ -z "$(keys)" ] || { keys | head; fail "keys left after msiexec /x"; }
"$win64" "$root/build/win64/bin/com_probe.exe" unregistered >"$work/probe.out" ||
  { cat "$work/probe.out"; fail "64-bit classes after msiexec /x"; }
if [ $can32 = yes ]; then
  "$win32" "$root/build/win32/bin/com_probe.exe" unregistered >"$work/probe.out" ||
    { cat "$work/probe.out"; fail "32-bit classes after msiexec /x"; }
fi

# The cases below do not depend on 32-bit programs: CORVANE_BRANCHES_ONLY (the test command's
# second pass, as a machine without them) leaves them to the first pass.
if [ -z "${CORVANE_BRANCHES_ONLY:-}" ]; then
  echo "== x64 package over an older one, and back"
  old=$work/old
  CORVANE_PACKAGE_VERSION=1.0.0 CORVANE_PACKAGE_RELEASE=previous CORVANE_PACKAGE_DIST=$old \
    "$root/scripts/package.sh" windows-release >"$work/old.log" 2>&1 || { cat "$work/old.log"; fail "the older package"; }
  fresh upgrade
  "$win64" msiexec /i "$(windows_path "$old/Corvane-1.0.0-x64.msi")" /qn || fail "the older package does not install"
  "$win64" msiexec /i "$(windows_path "$msi64")" /qn || fail "the upgrade exits with $?"
  "$win64" wineserver -w
  products=$(grep -A12 '^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\{' \
             "$CORVANE_WINEPREFIX/system.reg" | grep -c '^"DisplayName"="Corvane"')
  [ "$products" -eq 1 ] || fail "$products products after the upgrade"
  cmp -s "$(drive_c)/Program Files/Corvane/Corvane.dll" "$root/build/win64/release/Corvane.dll" &&
    cmp -s "$(drive_c)/Program Files (x86)/Corvane/Corvane.dll" "$root/build/win32/release/Corvane.dll" ||
    fail "the upgrade left the older files"
  works "$win64" cscript || { cat "$work/vbs.out"; fail "the classes after the upgrade"; }
  "$win64" msiexec /i "$(windows_path "$old/Corvane-1.0.0-x64.msi")" /qn /l*v "$(windows_path "$work/downgrade.log")"
  refused=$?
  [ $refused -eq $((1603 % 256)) ] || fail "the older package over the newer one exits with $refused"
  # The refusal is the launch condition that the message goes with (shown by the installer's
  # interface, which /qn leaves out).
  grep -q 'WIX_DOWNGRADE_DETECTED = {' "$work/downgrade.log" || fail "the downgrade was not detected"
  msiinfo export "$old/Corvane-1.0.0-x64.msi" LaunchCondition | tr -d '\r' |
    grep -q "^NOT WIX_DOWNGRADE_DETECTED	A newer version of Corvane is already installed.$" ||
    fail "the refusal carries no message"
  cmp -s "$(drive_c)/Program Files/Corvane/Corvane.dll" "$root/build/win64/release/Corvane.dll" ||
    fail "the refused downgrade changed the files"

  echo "== x64 package into folders of the user's choosing, kept for the upgrade and the removal"
  fresh custom
  tools=$(drive_c)/Tools
  "$win64" msiexec /i "$(windows_path "$old/Corvane-1.0.0-x64.msi")" /qn \
    'INSTALLDIR=C:\Tools\Corvane' 'INSTALLDIR32=C:\Tools\Corvane (x86)' || fail "the custom-folder install exits with $?"
  [ "$(find "$tools/Corvane" -type f | wc -l)" -eq 6 ] && [ "$(find "$tools/Corvane (x86)" -type f | wc -l)" -eq 2 ] ||
    { find "$tools" -type f; fail "the custom-folder install put other files in the folders given"; }
  "$win64" msiexec /i "$(windows_path "$msi64")" /qn || fail "the upgrade of a custom-folder install exits with $?"
  cmp -s "$tools/Corvane/Corvane.dll" "$root/build/win64/release/Corvane.dll" &&
    cmp -s "$tools/Corvane (x86)/Corvane.dll" "$root/build/win32/release/Corvane.dll" ||
    { find "$(drive_c)" -name Corvane.dll; fail "the upgrade did not keep the folders given"; }
  [ -z "$(installed_files)" ] || fail "the upgrade installed into the default folders"
  works "$win64" cscript || { cat "$work/vbs.out"; fail "the classes after the custom-folder upgrade"; }
  "$win64" msiexec /x "$(windows_path "$msi64")" /qn || fail "msiexec /x of the custom-folder install exits with $?"
  [ -z "$(find "$tools" -type f 2>/dev/null)" ] || { find "$tools" -type f; fail "files left in the folders given"; }
  [ -z "$(keys)" ] || fail "keys left after removing the custom-folder install"
  ! grep -qi '^\[Software\\\\Corvane\]' "$CORVANE_WINEPREFIX/system.reg" || fail "the product's key left after msiexec /x"

  echo "== x64 package into a folder it cannot write"
  fresh unwritable
  "$win64" msiexec /i "$(windows_path "$msi64")" /qn 'INSTALLDIR=Z:\proc\corvane\Corvane'
  code=$?
  # 1603, the installer's failure, as a process's exit status keeps it (its low byte).
  [ $code -eq $((1603 % 256)) ] || fail "the failed install exits with $code, not 1603"
  [ -z "$(installed_files)" ] || fail "the failed install left files"
  [ -z "$(keys)" ] || fail "the failed install left keys"
fi

echo "== x86 package: $(basename "$msi86")"
if [ $can32 = yes ]; then
  fresh reference86 win32
  mkdir -p "$(drive_c)/Program Files/Corvane"
  cp "$root/build/win32/release/Corvane.dll" "$(drive_c)/Program Files/Corvane/"
  "$win32" regsvr32 /s 'C:\Program Files\Corvane\Corvane.dll' || fail "regsvr32 in the 32-bit prefix"
  keys >"$work/reference86.keys"
  fresh x86 win32
  "$win32" msiexec /i "$(windows_path "$msi86")" /qn || fail "msiexec /i of the x86 package exits with $?"
  [ "$(installed_files | wc -l)" -eq 6 ] || { installed_files; fail "the x86 package installed other files"; }
  works "$win32" cscript || { cat "$work/vbs.out"; fail "cscript after the x86 install"; }
  keys >"$work/x86.keys"
  diff -u "$work/reference86.keys" "$work/x86.keys" || fail "the x86 package's keys differ from regsvr32's"
  "$win32" msiexec /x "$(windows_path "$msi86")" /qn || fail "msiexec /x of the x86 package"
  [ -z "$(installed_files)" ] && [ -z "$(keys)" ] || fail "the x86 package left files or keys"
  "$win32" "$root/build/win32/bin/com_probe.exe" unregistered >/dev/null || fail "32-bit classes after /x"
else
  skip "the x86 package"
fi

echo "== registration-free, from the portable archives"
fresh sxs
for tree in win64 win32; do
  if [ $tree = win32 ] && [ $can32 = no ]; then skip "the 32-bit registration-free host"; continue; fi
  loader=$root/build/$tree/wine
  "$loader" "$root/build/$tree/bin/com_probe.exe" unregistered >/dev/null || fail "$tree: the prefix has our classes"
  (cd "$work" && unzip -q -o "$dist/Corvane-$version-$tree.zip") || fail "$tree: the archive"
  folder=$work/Corvane-$version-$tree
  cp "$root/build/$tree/bin/sxs_host.exe" "$folder/"
  "$loader" "$folder/sxs_host.exe" >"$work/sxs.out" 2>&1 || { cat "$work/sxs.out"; fail "$tree: registration-free host"; }
done

if [ -n "$signed" ]; then
  echo "== signed release: the DLL registered by regsvr32, and the x64 package installed"
  fresh signed-dll
  (cd "$work" && unzip -q -o "$signed/Corvane-$version-win64.zip" -d signed) || fail "the signed archive"
  mkdir -p "$(drive_c)/Program Files/Corvane"
  cp "$work/signed/Corvane-$version-win64/Corvane.dll" "$(drive_c)/Program Files/Corvane/"
  "$win64" regsvr32 /s 'C:\Program Files\Corvane\Corvane.dll' || fail "regsvr32 of the signed DLL"
  works "$win64" cscript || { cat "$work/vbs.out"; fail "the signed DLL's classes"; }
  fresh signed-msi
  "$win64" msiexec /i "$(windows_path "$signed/Corvane-$version-x64.msi")" /qn || fail "the signed package exits with $?"
  cmp -s "$(drive_c)/Program Files/Corvane/Corvane.dll" "$work/signed/Corvane-$version-win64/Corvane.dll" ||
    fail "the signed package did not install the signed DLL"
  works "$win64" cscript || { cat "$work/vbs.out"; fail "the classes of the signed package"; }
fi

echo "== the README's manifests are the ones the host and the archive use"
readme_block() {  # readme_block MARKER: the fenced block after <!-- MARKER --> in the README
  awk -v marker="<!-- $1 -->" '$0 == marker { found = 1; next }
    found && /^```/ { if (inblock) exit; inblock = 1; next } inblock { print }' "$root/README.md"
}
readme_block "application manifest" | diff -u - "$root/build/win64/tests/packaging/sxs_host.exe.manifest" ||
  fail "the README's application manifest"
readme_block "assembly manifest" | diff -u - "$root/build/win64/release/Corvane.manifest" ||
  fail "the README's Corvane.manifest"

"$win64" wineserver -k 2>/dev/null
[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
