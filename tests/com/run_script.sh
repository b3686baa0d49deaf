#!/bin/sh
# Runs one VBScript or JScript test with Wine's cscript: run_script.sh WINE SCRIPT, where WINE is
# the build tree's Wine wrapper. Wine's cscript exits 0 also when a script dies of an error, so a
# script passes only when it exits 0 and its last line is "ALL PASSED". The wrapper's skip code
# passes through.
wine=$1
out=$(mktemp)
"$wine" cscript //nologo "$("$wine" winepath -w "$2" 2>/dev/null)" >"$out" 2>&1
rc=$?
tr -d '\r' <"$out"
last=$(tr -d '\r' <"$out" | tail -n 1)
rm -f "$out"
[ "$rc" -eq 77 ] && exit 77
[ "$rc" -eq 0 ] && [ "$last" = "ALL PASSED" ]
