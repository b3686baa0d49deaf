#!/bin/sh
# Drives the corvane tool end to end and compares everything it prints with tool_expected.txt:
#   tool_test.sh TOOL [WINE]
# Natively TOOL runs on a fresh store; with WINE (a build tree's wrapper) the Windows tool runs
# through COM on the tree's registered Corvane.dll and Wine's registry. Both must print the same.
tool=$1
wine=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CORVANE_REGISTRY="$work/registry.db"

run() {
  if [ -n "$wine" ]; then "$wine" "$tool" "$@"; else "$tool" "$@"; fi
}

# One case: its command line, what it printed on each stream, and its exit status. Standard
# input is $input when set, else empty.
case_() {
  echo "\$ corvane $*${input:+ < $(basename "$input")}"
  run "$@" <"${input:-/dev/null}" >"$work/out" 2>"$work/err"
  rc=$?
  [ $rc -eq 77 ] && exit 77
  tr -d '\r' <"$work/out"
  tr -d '\r' <"$work/err" | sed 's/^/stderr: /'
  echo "exit $rc"
}

{
  case_ call Corvane.Tarnel Encrypt "Meet me at noon" "a pass phrase"
  case_ call corvane.tarnel encrypt '"42"' 42
  case_ call --json Corvane.Tarnel Encrypt "Meet me at noon" "a pass phrase"
  case_ call --json Corvane.Tarnel Encrypt one two three
  case_ call Corvane.Tarnel Encrypt "Meet me at noon" "a pass phrase" --json
  case_ call Corvane.Tarnel scramb -- --json
  case_ call Corvane.Tarnel scramb --bogus
  case_ call Corvane.Tarnel sSplit "a,b;c" '",;"' 'Array()'
  case_ call Corvane.Tarnel Splits "a,b" "," 'Array()' 0
  case_ call Corvane.Tarnel Splits "a" '""' 'Array("x")' 5
  case_ call Corvane.Tarnel TimedPause 0
  case_ call Corvane.Tarnel TimedPause abc
  case_ call Corvane.Tarnel Encrypt one
  case_ call Corvane.Declares ErrorMsg 5
  case_ call Corvane.Nothing Encrypt
  case_ call Corvane.Tarnel Nothing
  case_ call Corvane.Tarnel
  input=$here/tool_session.txt
  case_ shell
  input=
} >"$work/actual" 2>&1

if ! diff -u "$here/tool_expected.txt" "$work/actual"; then
  echo "FAIL: the tool's output differs from tool_expected.txt"
  exit 1
fi
# The Windows tool's help offers only what it does: its reg points to the platform's tools.
if [ -n "$wine" ]; then
  if { run --help; run reg --help; } 2>&1 | tr -d '\r' |
       grep -E '^ +(query|add|delete|show|export|import|dump|restore|check) '; then
    echo "FAIL: the Windows tool's help offers reg commands that it refuses"
    exit 1
  fi
  run reg query HKCU >/dev/null 2>"$work/err"
  rc=$?
  if [ $rc -ne 2 ] || ! grep -q "use reg.exe" "$work/err"; then
    echo "FAIL: the Windows tool's reg: exit $rc, $(cat "$work/err")"
    exit 1
  fi
fi
echo "tool output as expected"
