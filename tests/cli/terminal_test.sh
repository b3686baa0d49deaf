#!/bin/sh
# The shell at a terminal (a pseudo-terminal from script(1)): lines go through the line editor,
# with its prompt, and variables keep their values.   terminal_test.sh TOOL
export CORVANE_REGISTRY="$(mktemp -u)"
out=$(printf '%s\n' 'pw = "x"' 'print pw' 'exit' | script -qec "$1 shell" /dev/null | tr -d '\r')
echo "$out"
echo "$out" | grep -q '^corvane> print pw' && echo "$out" | grep -qx 'String "x"'
