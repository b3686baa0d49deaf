#!/usr/bin/env bash
# Installs what is missing, builds the native (also under the sanitizers), 32-bit Windows and
# 64-bit Windows trees, and runs every suite: native, the native library's install and Debian
# packages, a short run of each fuzzer, then each Windows tree under its own Wine loader in a
# fresh WINEPREFIX, and the Windows packages (installers, archives) in fresh prefixes.
#
# The 64-bit suites always run. The 32-bit suites run where this machine can start the 32-bit
# loader; elsewhere, where 32-bit Wine could not be installed, or with CORVANE_SKIP_WIN32=1,
# they are reported as skipped, never as passed. A machine that runs them also runs the 32-bit
# suites and the Windows packages' test again as a machine that cannot.
# Exits non-zero when any suite that ran failed, or when no Windows suite could run at all.
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" native windows sanitize package
# Where 32-bit Wine could not be installed, the 32-bit suites are skipped for that reason, as
# on a machine that cannot run 32-bit programs.
if [ -s "$root/build/win32-unavailable" ]; then
  export CORVANE_SKIP_WIN32=1
  CORVANE_SKIP_WIN32_REASON="32-bit Wine could not be installed: $(head -n 1 "$root/build/win32-unavailable")"
  export CORVANE_SKIP_WIN32_REASON
elif [ -n "${CORVANE_SKIP_WIN32:-}" ]; then
  export CORVANE_SKIP_WIN32_REASON="${CORVANE_SKIP_WIN32_REASON:-CORVANE_SKIP_WIN32 is set}"
fi
"$root/scripts/build.sh" native
"$root/scripts/build.sh" sanitize
"$root/scripts/build.sh" tsan
"$root/scripts/build.sh" win32
"$root/scripts/build.sh" win64  # after win32: it checks the 32-bit DLL's shape

status=0
windows_ran=0
# The tally behind the closing line: each CTest test counts once, and so does each suite that is
# a script (the thread runs, the native packages, the fuzzers, the Windows packages).
passed=0 failed=0 skipped=0

# ctest_tally DIR [CTEST-ARGS...]: runs one tree's CTest (under a virtual display where
# CTEST_DISPLAY is set) and adds its counts to the tally.
ctest_tally() {
  local dir=$1 log rc=0 total failures skips
  shift
  log=$(mktemp)
  ${CTEST_DISPLAY:+xvfb-run -a} ctest --test-dir "$dir" "$@" 2>&1 | tee "$log" || rc=1
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  failures=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n 1)
  skips=$(grep -c '(Skipped)$' "$log" || true)
  rm -f "$log"
  if [ -z "$total" ]; then rc=1; total=0; failures=0; fi
  passed=$((passed + total - failures - skips)) failed=$((failed + failures)) skipped=$((skipped + skips))
  [ $rc -eq 0 ] || { status=1; [ "$failures" -gt 0 ] || failed=$((failed + 1)); }
  return $rc
}

# suite COMMAND...: runs one scripted suite and counts it; exit 77 is a skip.
suite() {
  local rc=0
  "$@" || rc=$?
  case $rc in
    0) passed=$((passed + 1)) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) status=1 ;;
  esac
}

# The 32-bit tree's suites as a machine without 32-bit programs runs them: each one reported as
# skipped, none counted as passed. CTest's own summary stays in the log: with every test skipped
# it reads as a run in which nothing ran, so only the counts are printed.
skipped_win32_suites() {
  local log rc=0 skips
  log=$(mktemp)
  CORVANE_SKIP_WIN32=1 CORVANE_SKIP_WIN32_REASON=${CORVANE_SKIP_WIN32_REASON:-skipped as without 32-bit programs} ctest --test-dir "$root/build/win32" >"$log" 2>&1 || rc=1
  skips=$(grep -c '(Skipped)$' "$log" || true)
  echo "32-bit suites: $skips reported as skipped"
  if grep -Eq 'Test +#[0-9]+: .* Passed' "$log"; then
    echo "FAILED: a 32-bit suite counted as passed without running"
    grep -E 'Test +#[0-9]+: .* Passed' "$log"
    rc=1
  fi
  [ "$1" = count ] && skipped=$((skipped + skips))
  rm -f "$log"
  return $rc
}

# A machine that runs 32-bit programs also takes the path of one that cannot, so that neither
# branch can break unseen. This comes first: its runner output is of tests that did not run.
can32=no
if [ -z "${CORVANE_SKIP_WIN32:-}" ] && "$root/build/win32/wine" --can-run; then
  can32=yes
  echo "== the same without 32-bit programs (CORVANE_SKIP_WIN32=1): the 32-bit suites skipped"
  suite skipped_win32_suites check
fi

echo "== native suites"
ctest_tally "$root/build/native" --output-on-failure || true
echo "== native suites under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest_tally "$root/build/sanitize" --output-on-failure || true
echo "== the store and the classes under ThreadSanitizer, and 8 threads at once on one store"
# Any report fails the run (ThreadSanitizer's exit code 66).
tsan_suite() {
  local tsan=$root/build/tsan/tests rc=0
  mkdir -p "$tsan/tmp"
  TEST_TMPDIR=$tsan/tmp/ "$tsan/corvane_tests" --gtest_brief=1 \
    --gtest_filter='RegistryStore.*:Backends/*:RegistryReplay.*:RegFile.*:DeclaresTest.*:RegistryTest.*:TimedPauseTest.*:Cipher*:Splits.*:SSplit.*' &&
  "$tsan/store_stress" threads "$tsan/tmp/threads.db" 8 4 &&
  "$tsan/store_stress" threads "$tsan/tmp/platform.db" 8 2 --default || rc=1
  rm -f "$tsan"/tmp/*.db*
  return $rc
}
suite tsan_suite
echo "== the native library as it ships: installed, used by a consumer project, packaged"
suite eval '"$root/scripts/package.sh" linux >/dev/null &&
  "$root/tests/packaging/linux_test.sh" "$root/build/native" "$root/dist"'
echo "== fuzzers: kept regression inputs, then a short run of each (a soak: scripts/fuzz.sh 3600)"
suite "$root/scripts/fuzz.sh" "${CORVANE_FUZZ_SECONDS:-15}"

# Runs the suites of one Windows tree in a fresh prefix, under a virtual display.
run_windows_suites() {
  local tree=$root/build/$1
  "$tree/wine" wineserver -k 2>/dev/null || true
  rm -rf "$tree/wineprefix"
  "$tree/wine" wineboot -i >/dev/null 2>&1 || true
  # The prefix's processes started without a display; the suites' message boxes need one.
  "$tree/wine" wineserver -k 2>/dev/null || true
  CTEST_DISPLAY=1 ctest_tally "$tree" --output-on-failure || true
  "$tree/wine" wineserver -k 2>/dev/null || true
}

echo "== Windows suites: 64-bit Corvane.dll under 64-bit Wine"
if "$root/build/win64/wine" --can-run; then
  run_windows_suites win64
  windows_ran=1
else
  echo "FAILED: 64-bit Wine cannot start on this machine"
  failed=$((failed + 1)) status=1
fi

echo "== Windows suites: 32-bit Corvane.dll under 32-bit Wine"
if [ $can32 = yes ]; then
  run_windows_suites win32
  windows_ran=1
else
  if [ -n "${CORVANE_SKIP_WIN32_REASON:-}" ]; then
    echo "32-bit suites skipped: $CORVANE_SKIP_WIN32_REASON"
  else
    echo "32-bit suites skipped: this machine cannot run 32-bit programs"
  fi
  skipped_win32_suites count || { failed=$((failed + 1)) status=1; }
fi

rebuild=$root/build/rebuild
if "$root/scripts/package.sh" windows-release >/dev/null; then
  echo "== hostile release folders: a stand-in's releases changed, refused (and a few accepted)"
  suite "$root/tests/packaging/verify_release_test.sh" "$root" "$root/dist"
  echo "== a signed release: a throwaway authority signs, every file verifies, a changed byte fails;"
  echo "   verify-release.sh rebuilds it from a clean clone in another folder (another umask and time"
  echo "   zone), attaches its signatures, compares byte for byte (debug files included) and checks"
  echo "   the signer"
  suite "$root/tests/packaging/signing_test.sh" "$root" "$root/build/signing" "$rebuild"
else
  echo "FAILED: packaging the Windows release"
  failed=$((failed + 1)) status=1
fi

echo "== Windows packages under Wine: installers, upgrade, removal, registration-free hosts, signed"
suite "$root/tests/packaging/windows_test.sh" "$root" "$root/dist" "$root/build/signing/dist"

# A machine that runs 32-bit programs also takes the path of one that cannot, so that neither
# branch can break unseen.
if [ $can32 = yes ]; then
  echo "== the same without 32-bit programs (CORVANE_SKIP_WIN32=1): the Windows packages"
  suite env CORVANE_SKIP_WIN32=1 CORVANE_BRANCHES_ONLY=1 \
    CORVANE_SKIP_WIN32_REASON="taking the path of a machine without them" \
    "$root/tests/packaging/windows_test.sh" "$root" "$root/dist"
fi

if [ "$windows_ran" -eq 0 ]; then
  echo "FAILED: no Windows suite could run on this machine"
  failed=$((failed + 1)) status=1
fi
echo "$passed passed, $failed failed, $skipped skipped"
exit $status
