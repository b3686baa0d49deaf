#!/usr/bin/env bash
# Benchmarks: natively (Google Benchmark) the cipher beside a plain loop, the splitters by text
# size and the timed pause's CPU use; under Wine, for each Windows build that this machine can
# run (each in a fresh prefix of its own tree), the COM call paths of Corvane.dll (early binding,
# our Invoke, oleaut32's DispInvoke), the pause's CPU use, and the splitters called from
# VBScript beside VBScript's own Split, and the vtable call's cost over the native dispatcher's;
# last, the registry workload on the embedded store and on Wine's registry side by side.
#   scripts/bench.sh [SECONDS_PER_COM_PATH]
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" native windows
for kind in native win32 win64; do "$root/scripts/build.sh" "$kind" >/dev/null; done

echo "== native ANSI codec, code page 1252 and 932"
CORVANE_CODEPAGE=1252 "$root/build/native/bench/ansi_benchmark"
CORVANE_CODEPAGE=932 "$root/build/native/bench/ansi_benchmark"
echo "== native cipher (beside a plain loop on bytes)"
"$root/build/native/bench/cipher_benchmark"
echo "== native splitters (time per element by text size)"
"$root/build/native/bench/splitters_benchmark"
echo "== native timed pause (CPU seconds per second of pause)"
"$root/build/native/bench/pause_benchmark"
echo "== native dispatcher beside a direct call (Encrypt of \"ab\")"
"$root/build/native/bench/dispatch_benchmark" --benchmark_format=csv 2>/dev/null |
  tee "$root/build/native/dispatch_bench.csv" | awk -F, 'NR > 1 { gsub(/"/, "", $1); printf "%-34s %10.1f ns\n", $1, $3 }'
native_ns=$(awk -F, '$1 ~ /dispatcher_by_dispid/ { print $3 }' "$root/build/native/dispatch_bench.csv")
columns=(store)
"$root/build/native/bench/registry_bench" 1 >"$root/build/native/registry_bench.txt"

for kind in win64 win32; do
  tree=$root/build/$kind
  if [ "$kind" = win32 ] && { [ -n "${CORVANE_SKIP_WIN32:-}" ] || ! "$tree/wine" --can-run; }; then
    why="this machine cannot run 32-bit programs"
    [ -s "$root/build/win32-unavailable" ] && why="32-bit Wine could not be installed: $(cat "$root/build/win32-unavailable")"
    echo "== COM call paths, $kind: skipped, ${CORVANE_SKIP_WIN32_REASON:-$why}"
    continue
  fi
  echo "== COM call paths, $kind: ran under $(grep -m1 '^export WINELOADER=' "$tree/wine" | cut -d= -f2)"
  "$tree/wine" wineserver -k 2>/dev/null || true
  rm -rf "$tree/wineprefix"
  "$tree/wine" wineboot -i >/dev/null 2>&1 || true
  "$tree/wine" regsvr32 /s "$tree/bin/Corvane.dll"
  "$tree/wine" "$tree/bin/com_benchmark.exe" "${1:-1}" | tr -d '\r' | tee "$tree/com_bench.txt"
  wine_us=$(awk '/^vtable Encrypt:/ { print $3 }' "$tree/com_bench.txt")
  awk -v w="$wine_us" -v n="$native_ns" 'BEGIN {
    printf "vtable Encrypt under Wine / native dispatcher: %.0f ns / %.0f ns = %.2f\n", w * 1000, n, w * 1000 / n }' 
  "$tree/wine" "$tree/bin/registry_bench.exe" 1 | tr -d '\r' >"$tree/registry_bench.txt"
  columns+=("$kind")
  echo "-- splitters through COM from VBScript, beside VBScript's Split"
  "$tree/wine" cscript //nologo "$("$tree/wine" winepath -w "$root/bench/splitters_bench.vbs" 2>/dev/null)"
  "$tree/wine" wineserver -k 2>/dev/null || true
done

echo "== registry calls per second, one workload: the embedded store natively, Wine's registry"
files=()
for column in "${columns[@]}"; do
  case "$column" in
    store) files+=("$root/build/native/registry_bench.txt") ;;
    *) files+=("$root/build/$column/registry_bench.txt") ;;
  esac
done
printf '%-32s' "calls/s"
for column in "${columns[@]}"; do
  case "$column" in store) printf '%14s' "store" ;; *) printf '%14s' "Wine $column" ;; esac
done
echo
paste "${files[@]}" | awk -F'\t' '{ printf "%-32s", $1; for (i = 2; i <= NF; i += 2) printf "%14s", $i; print "" }'
