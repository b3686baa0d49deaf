#!/usr/bin/env bash
# Benchmarks: the cipher natively (Google Benchmark), and the COM call paths of Corvane.dll
# under Wine (early binding, our Invoke, oleaut32's DispInvoke) in a fresh WINEPREFIX.
#   scripts/bench.sh [SECONDS_PER_COM_PATH]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" native windows
"$root/scripts/build.sh" native >/dev/null
"$root/scripts/build.sh" win32 >/dev/null

echo "== native cipher"
"$root/build/native/bench/cipher_benchmark"

echo "== COM call paths under Wine"
export WINEPREFIX="$root/build/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine regsvr32 /s "$root/build/win32/bin/Corvane.dll"
wine "$root/build/win32/bin/com_benchmark.exe" "${1:-1}"
wineserver -k 2>/dev/null || true
