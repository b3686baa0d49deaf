#!/usr/bin/env bash
# Benchmarks: the cipher natively (Google Benchmark), and the COM call paths of Corvane.dll
# (early binding, our Invoke, oleaut32's DispInvoke) under Wine, for each Windows build that
# this machine can run, each in a fresh prefix of its own tree.
#   scripts/bench.sh [SECONDS_PER_COM_PATH]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" native windows
for kind in native win32 win64; do "$root/scripts/build.sh" "$kind" >/dev/null; done

echo "== native cipher"
"$root/build/native/bench/cipher_benchmark"

for kind in win64 win32; do
  tree=$root/build/$kind
  if [ "$kind" = win32 ] && { [ -n "${CORVANE_SKIP_WIN32:-}" ] || ! "$tree/wine" --can-run; }; then
    echo "== COM call paths, $kind: skipped, this machine cannot run 32-bit programs"
    continue
  fi
  echo "== COM call paths, $kind: ran under $(grep -m1 '^export WINELOADER=' "$tree/wine" | cut -d= -f2)"
  "$tree/wine" wineserver -k 2>/dev/null || true
  rm -rf "$tree/wineprefix"
  "$tree/wine" wineboot -i >/dev/null 2>&1 || true
  "$tree/wine" regsvr32 /s "$tree/bin/Corvane.dll"
  "$tree/wine" "$tree/bin/com_benchmark.exe" "${1:-1}"
  "$tree/wine" wineserver -k 2>/dev/null || true
done
