#!/bin/sh
# The shell at a terminal (a pseudo-terminal from script(1)): lines go through the line editor,
# with its prompt, and variables keep their values; its message box waits for Enter. The
# library's own box never waits: a call at a terminal says its message and returns.
#   terminal_test.sh TOOL
export CORVANE_REGISTRY="$(mktemp -u)"
out=$(printf '%s\n' 'pw = "x"' 'Declares.CreateKey "Software\X"' '' 'print pw' 'exit' |
      timeout 10 script -qec "$1 shell" /dev/null | tr -d '\r')
echo "$out"
echo "$out" | grep -q '^corvane> print pw' && echo "$out" | grep -qx 'String "x"' &&
  echo "$out" | grep -q 'press Enter' || exit 1
box=$(timeout 10 script -qec "$1 call Corvane.Declares CreateKey 'Software\\X'" /dev/null |
      tr -d '\r')
echo "$box"
echo "$box" | grep -q '^Incorrect Format:'
