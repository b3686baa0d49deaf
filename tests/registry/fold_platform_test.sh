#!/bin/sh
# Which names are one name, for every code unit of the Basic Multilingual Plane as a key name
# and as a value name: the native store against the platform's registry under Wine.
#   fold_platform_test.sh NATIVE_PROBE WINE WINDOWS_PROBE
native=$1
wine=$2
windows=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$wine" --can-run >/dev/null 2>&1 || exit 77
"$native" "$work/store.db" >"$work/native" || { echo "FAIL: the native probe"; exit 1; }
"$wine" "$windows" | tr -d '\r' >"$work/platform" || { echo "FAIL: the probe under Wine"; exit 1; }
if ! diff "$work/platform" "$work/native" >"$work/diff"; then
  echo "FAIL: the store folds names unlike the platform's registry (< platform, > store):"
  head -n 40 "$work/diff"
  echo "($(grep -c '^[<>]' "$work/diff") lines differ)"
  exit 1
fi
echo "every code unit folds as the platform's registry folds it: $(tail -n 1 "$work/native")"
