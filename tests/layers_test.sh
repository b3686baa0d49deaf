#!/bin/sh
# The build holds the layers: a source compiled with a layer target's include path reaches the
# headers of its own layer and the layers it links, and an include of a layer above fails.
# Usage: layers_test.sh CXX TREE... -- "ROW" ... with each ROW "expect|include dirs (:-separated)|
# header", and TREE the source and build trees.
# A header counts as reached only when the compiler finds it in one of the row's folders inside
# a TREE: one that resolves elsewhere (an installed libcorvane-dev in /usr/include, which a
# layer's include path names for SQLite) is out of reach. Every row's header is also planted in
# a folder outside the trees, last on each row's include path as a system folder would be, so a
# check that trusted any header found would fail here whatever the machine has installed.
cxx=$1
shift
trees=""
while [ "$1" != -- ]; do trees="$trees $1"; shift; done
shift
status=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
probe=$work/probe.cc
for row in "$@"; do
  header=${row##*|}
  mkdir -p "$work/elsewhere/$(dirname "$header")"
  : >"$work/elsewhere/$header"
done
for row in "$@"; do
  expect=${row%%|*}
  rest=${row#*|}
  dirs=${rest%%|*}:$work/elsewhere
  header=${rest#*|}
  printf '#include "%s"\n' "$header" >"$probe"
  flags=$(printf '%s' "$dirs" | tr ':' '\n' | sed 's/^/-I/' | tr '\n' ' ')
  # shellcheck disable=SC2086
  # -H lists each header the compiler opened, the probe's own include first (". path").
  if errors=$("$cxx" -std=c++20 -fsyntax-only -H $flags "$probe" 2>&1); then
    found=$(printf '%s\n' "$errors" | sed -n 's/^\. //p' | head -n 1)
    got=fails
    for dir in $(printf '%s' "$dirs" | tr ':' ' '); do
      for tree in $trees; do
        case "$dir/" in "$tree"/*) [ "$found" = "$dir/$header" ] && got=compiles ;; esac
      done
    done
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
