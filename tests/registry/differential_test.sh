#!/bin/sh
# Generated sessions of Registry and Declares calls, run twice: by the native tool over a fresh
# store, and by the Windows tool through COM over Wine's registry. Every answer and every
# write-back the two print must be the same.
#   differential_test.sh NATIVE_TOOL WINE WINDOWS_TOOL [FIRST LAST]
# The seeds FIRST..LAST (default 1..8) each make one session of 60 calls, under a key of its own
# below each root, reached also through the views (HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG) and
# through the keys they stand for: names in several scripts and in mixed case,
# trailing blanks, long names, deep paths, missing keys and values, values read as the wrong
# type. A longer run: the same with 1 200.
native=$1
wine=$2
windows=$3
first=${4:-1}
last=${5:-8}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$wine" --can-run >/dev/null 2>&1 || exit 77

# Removes every session's keys from Wine's registry.
clean() {
  for key in 'HKCU\Software' 'HKLM\Software' 'HKCR' \
             'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software'; do
    "$wine" reg delete "$key\Corvane Differential" /f >/dev/null 2>&1
  done
}

# session SEED: the calls of one session, as the tool's shell takes them.
session() {
  awk -v seed="$1" -f "$here/differential_session.awk"
}

failed=0 calls=0
seed=$first
while [ "$seed" -le "$last" ]; do
  session "$seed" >"$work/session.txt"
  calls=$((calls + $(grep -c '^[RD]' "$work/session.txt")))
  CORVANE_REGISTRY="$work/store-$seed.db" "$native" shell <"$work/session.txt" \
    >"$work/native.out" 2>"$work/native.err"
  echo "exit $?" >>"$work/native.out"
  clean
  "$wine" "$windows" shell <"$work/session.txt" >"$work/windows.out" 2>"$work/windows.err"
  echo "exit $?" >>"$work/windows.out"
  for side in native windows; do
    tr -d '\r' <"$work/$side.out" >"$work/$side.all"
    tr -d '\r' <"$work/$side.err" | sed 's/^/stderr: /' >>"$work/$side.all"
  done
  if ! diff "$work/windows.all" "$work/native.all" >"$work/diff"; then
    echo "FAIL: seed $seed: the native store answers unlike Wine's registry (< Wine, > native):"
    head -n 20 "$work/diff"
    failed=$((failed + 1))
  fi
  seed=$((seed + 1))
done
clean
echo "seeds $first..$last: $calls calls, $failed sessions differing"
[ "$failed" -eq 0 ]
