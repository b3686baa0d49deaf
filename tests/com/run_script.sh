#!/bin/sh
# Runs one VBScript or JScript test with Wine's cscript: run_script.sh WINE SCRIPT, where WINE is
# the build tree's Wine wrapper. A VBScript suite runs with check.vbs (Option Explicit and
# Check()) in front of it, since Wine's VBScript has no ExecuteGlobal to include it. Wine's
# cscript exits 0 also when a script dies of an error, so a script passes only when it exits 0
# and its last line is "ALL PASSED". The wrapper's skip code passes through.
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
tr -d '\r' <"$out"
last=$(tr -d '\r' <"$out" | tail -n 1)
rm -f "$out"
[ "$rc" -eq 77 ] && exit 77
[ "$rc" -eq 0 ] && [ "$last" = "ALL PASSED" ]
