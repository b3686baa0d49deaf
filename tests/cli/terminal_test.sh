#!/bin/sh
# The shell at a terminal (a pseudo-terminal from script(1)): lines go through the line editor,
# with its prompt, and variables keep their values. And the message box waits only for a
# person: a call under a terminal whose standard input is redirected says its message and
# returns.   terminal_test.sh TOOL
export CORVANE_REGISTRY="$(mktemp -u)"
out=$(printf '%s\n' 'pw = "x"' 'print pw' 'exit' | script -qec "$1 shell" /dev/null | tr -d '\r')
echo "$out"
echo "$out" | grep -q '^corvane> print pw' && echo "$out" | grep -qx 'String "x"' || exit 1
box=$(timeout 10 script -qec "$1 call Corvane.Declares CreateKey 'Software\\X' </dev/null" /dev/null |
      tr -d '\r')
echo "$box"
echo "$box" | grep -q '^Incorrect Format:'
