#!/bin/sh
# The build holds the layers: a source compiled with a layer target's include path reaches the
# headers of its own layer and the layers it links, and an include of a layer above fails.
# Usage: layers_test.sh CXX "ROW" ... with each ROW "expect|include dirs (:-separated)|header".
cxx=$1
shift
status=0
probe=$(mktemp --suffix=.cc)
trap 'rm -f "$probe"' EXIT
for row in "$@"; do
  expect=${row%%|*}
  rest=${row#*|}
  dirs=${rest%%|*}
  header=${rest#*|}
  printf '#include "%s"\n' "$header" >"$probe"
  flags=$(printf '%s' "$dirs" | tr ':' '\n' | sed 's/^/-I/' | tr '\n' ' ')
  # shellcheck disable=SC2086
  # A failure counts only when the header itself is out of reach, not for some other error.
  if errors=$("$cxx" -std=c++20 -fsyntax-only $flags "$probe" 2>&1); then
    got=compiles
  elif printf '%s' "$errors" | grep -F "$header" | grep -Eqi 'no such file|file not found'; then
    got=fails
  else
    got="broken ($errors)"
  fi
  if [ "$got" = "$expect" ]; then
    echo "ok: $header $got"
  else
    echo "FAIL: $header $got, expected it to be $expect"
    status=1
  fi
done
exit $status
