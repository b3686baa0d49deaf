#!/usr/bin/env bash
# The fuzzers: builds the fuzz tree (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer),
# replays every kept regression input, then fuzzes each target for SECONDS (default 15).
#   scripts/fuzz.sh [SECONDS]          CI runs 15; a soak: scripts/fuzz.sh 3600
# Seeds come from fuzz/corpus/<target>; the growing corpus is kept in build/fuzz/corpus/<target>.
# A crash or broken invariant fails the run and leaves the input in build/fuzz/crashes/<target>/;
# once mended, it belongs in fuzz/regressions/<target>/ so that every run replays it.
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-15}
"$root/scripts/install-deps.sh" native sanitize
"$root/scripts/build.sh" fuzz >/dev/null
failed=0
for target in tarnel_fuzzer registry_fuzzer declares_fuzzer store_model_fuzzer reg_file_fuzzer \
              value_syntax_fuzzer; do
  exe="$root/build/fuzz/fuzz/$target"
  corpus="$root/build/fuzz/corpus/$target"
  crashes="$root/build/fuzz/crashes/$target"
  mkdir -p "$corpus" "$crashes"
  regressions=("$root/fuzz/regressions/$target"/*)
  if [ -e "${regressions[0]}" ]; then
    if ! "$exe" "${regressions[@]}" >"$crashes/replay.log" 2>&1; then
      echo "FAIL: $target: a kept regression input fails again (see $crashes/replay.log)"
      failed=1
      continue
    fi
    echo "$target: ${#regressions[@]} regression inputs replayed"
  fi
  seeds=()
  [ -d "$root/fuzz/corpus/$target" ] && seeds=("$root/fuzz/corpus/$target")
  if "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
       -artifact_prefix="$crashes/" "$corpus" "${seeds[@]}" >"$crashes/fuzz.log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$crashes/fuzz.log" | grep -o '[0-9]*$')
    echo "$target: ${runs:-?} inputs in ${seconds} s, no failure"
  else
    echo "FAIL: $target (log: $crashes/fuzz.log)"
    grep -A3 'invariant broken\|ERROR:' "$crashes/fuzz.log" | head -8
    failed=1
  fi
done
exit $failed
