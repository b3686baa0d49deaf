#!/bin/sh
# The shell at a terminal (a pseudo-terminal from script(1)): lines go through the line editor,
# with its prompt, and variables keep their values; its message box waits for Enter. Ctrl-C
# stops a pause and drops a half-typed line, and the session goes on; Tab completes; the
# history outlives the session. The library's own box never waits: a call at a terminal says
# its message and returns.
#   terminal_test.sh TOOL
export CORVANE_REGISTRY="$(mktemp -u)"
export XDG_STATE_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_STATE_HOME"' EXIT
# Ctrl-C (\003) is a signal the moment the terminal gets it: the pauses let each line arrive
# in its turn.
out=$({ printf '%s\n' 'pw = "x"' 'Declares.CreateKey "Software\X"' ''; sleep 0.5
        printf 'Tarnel.TimedPause 30\n'; sleep 1.5; printf '\003'; sleep 0.5
        printf 'half typed'; sleep 0.3; printf '\003'; sleep 0.3
        printf 'Tarnel.scr\t "ab"\nprint pw\nexit\n'; } |
      timeout 15 script -qec "$1 shell" /dev/null | tr -d '\r')
echo "$out"
echo "$out" | grep -q '^corvane> print pw' && echo "$out" | grep -qx 'String "x"' &&
  echo "$out" | grep -q 'press Enter' &&
  echo "$out" | grep -q 'TimedPause failed: runtime error 18: User interrupt occurred' &&
  echo "$out" | grep -q 'Tarnel.scramb = String "ba"' &&
  grep -q '^print\\040pw$' "$XDG_STATE_HOME/corvane/history" || exit 1
# A history that cannot be used is not (a named pipe is never waited on), and one that grew
# long is cut to its last lines.
for kind in pipe long; do
  state=$(mktemp -d) && mkdir -m 700 "$state/corvane"
  if [ $kind = pipe ]; then mkfifo "$state/corvane/history"
  else yes 'print 1' | head -c 5000000 >"$state/corvane/history"; chmod 600 "$state/corvane/history"; fi
  out=$(printf 'print 7\nexit\n' | XDG_STATE_HOME=$state timeout 10 script -qec "$1 shell" /dev/null | tr -d '\r')
  echo "$out"
  echo "$out" | grep -q '^Integer 7' || exit 1
  if [ $kind = pipe ]; then echo "$out" | grep -q 'no history kept: .*history is not a regular file' || exit 1
  else [ "$(stat -c %s "$state/corvane/history")" -lt 300000 ] && grep -qx 'print\\0407' "$state/corvane/history" || exit 1; fi
  rm -rf "$state"
done
box=$(timeout 10 script -qec "$1 call Corvane.Declares CreateKey 'Software\\X'" /dev/null |
      tr -d '\r')
echo "$box"
echo "$box" | grep -q '^Incorrect Format:'
