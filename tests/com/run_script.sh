#!/bin/sh
# Runs one VBScript or JScript test with Wine's cscript: run_script.sh WINE SCRIPT, where WINE is
# the build tree's Wine wrapper. A VBScript suite runs with check.vbs (Option Explicit and
# Check()) in front of it, since Wine's VBScript has no ExecuteGlobal to include it. Wine's
# cscript exits 0 also when a script dies of an error, so a script passes only when it exits 0,
# printed its "ALL PASSED" line (its last act) and no "FAIL" line. Wine's own services share the
# output and may add lines of theirs after it, which do not count. The wrapper's skip code
# passes through.
wine=$1
script=$2
out=$(mktemp)
run=$script
case "$script" in
  *.vbs)
    run=$(mktemp --suffix=.vbs)
    cat "$(dirname "$0")/check.vbs" "$script" >"$run"
    ;;
esac
"$wine" cscript //nologo "$("$wine" winepath -w "$run" 2>/dev/null)" >"$out" 2>&1
rc=$?
[ "$run" != "$script" ] && rm -f "$run"
tr -d '\r' <"$out" >"$out.txt"
cat "$out.txt"
passed=0
grep -qx "ALL PASSED" "$out.txt" && ! grep -q "^FAIL " "$out.txt" && passed=1
rm -f "$out" "$out.txt"
[ "$rc" -eq 77 ] && exit 77
[ "$rc" -eq 0 ] && [ "$passed" -eq 1 ]
