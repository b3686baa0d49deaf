#!/bin/sh
# Runs one VBScript or JScript test with Wine's cscript. Wine's cscript exits 0 also when a
# script dies of an error, so a script passes only when it exits 0 and its last line is
# "ALL PASSED".
out=$(mktemp)
wine cscript //nologo "$(winepath -w "$1")" >"$out" 2>&1
rc=$?
tr -d '\r' <"$out"
last=$(tr -d '\r' <"$out" | tail -n 1)
rm -f "$out"
[ "$rc" -eq 0 ] && [ "$last" = "ALL PASSED" ]
