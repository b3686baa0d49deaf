#!/bin/sh
# .reg files between the store and Wine's regedit, both ways:
#   regedit_interop.sh NATIVE_TOOL WINE WINDOWS_TOOL
# 1. The native tool imports interop_source.reg (every value type) into a fresh store and
#    exports the key, in Version 5.00 and in REGEDIT4.
# 2. Wine's regedit imports each export; the Windows build reads the values back through COM.
# 3. Wine's regedit exports the key; the native tool imports that into another fresh store,
#    reads a value back natively, and exports it again: byte for byte its first export.
native=$1
wine=$2
windows=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$wine" --can-run >/dev/null 2>&1 || exit 77
key='HKEY_CURRENT_USER\Software\Corvane Interop'
failed=0
fail() { echo "FAIL: $*"; failed=1; }
winpath() { "$wine" winepath -w "$1" 2>/dev/null; }

# What a call printed on its first line, without the carriage returns Windows adds.
first_line() { "$@" 2>&1 | tr -d '\r' | head -n 1; }
expect() {
  want=$1; shift
  got=$(first_line "$@")
  [ "$got" = "$want" ] || fail "$*: got [$got], want [$want]"
}

"$native" --store "$work/one.db" reg import "$here/interop_source.reg" || fail "native import"
for format in v5 regedit4; do
  flag=; [ $format = regedit4 ] && flag=--regedit4
  "$native" --store "$work/one.db" reg export $flag "$key" "$work/ours-$format.reg" ||
    fail "native export $format"
  "$wine" reg delete "$key" /f >/dev/null 2>&1
  "$wine" regedit /s "$(winpath "$work/ours-$format.reg")" || fail "regedit import $format"
  expect 'Corvane.Registry.getstring = String "héllo ""quoted"" \ path"' \
    "$wine" "$windows" call Corvane.Registry getstring '&H80000001' \
    'Software\Corvane Interop' 'a text'
  expect 'Corvane.Registry.getdword = Long 42' \
    "$wine" "$windows" call Corvane.Registry getdword '&H80000001' 'Software\Corvane Interop' \
    'b dword'
  expect 'Corvane.Declares.GetBinaryValue = String ChrW(0) & ChrW(1) & "þÿ"' \
    "$wine" "$windows" call Corvane.Declares GetBinaryValue "$key" 'c binary'
  expect 'Corvane.Registry.getdword = Long -1' \
    "$wine" "$windows" call Corvane.Registry getdword '&H80000001' \
    'Software\Corvane Interop\Sub' n
done

"$wine" regedit /e "$(winpath "$work/theirs.reg")" "$key" || fail "regedit export"
"$native" --store "$work/two.db" reg import "$work/theirs.reg" || fail "native import of regedit's file"
expect 'Corvane.Registry.getstring = String "default"' \
  "$native" --store "$work/two.db" call Corvane.Registry getstring '&H80000001' \
  'Software\Corvane Interop' '""'
"$native" --store "$work/two.db" reg export "$key" "$work/back.reg" || fail "native export again"
cmp "$work/ours-v5.reg" "$work/back.reg" || fail "the key did not come back byte for byte"
"$wine" reg delete "$key" /f >/dev/null 2>&1

[ $failed -eq 0 ] && echo "ALL PASSED"
exit $failed
