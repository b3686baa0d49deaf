#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every suite: native, then the Windows
# build under Wine in a fresh WINEPREFIX. Exits non-zero when any suite fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" native windows
"$root/scripts/build.sh" native
"$root/scripts/build.sh" win32

status=0
echo "== native suites"
ctest --test-dir "$root/build/native" --output-on-failure || status=1

echo "== Windows suites under Wine"
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8  # Wine takes its ANSI code page (1252) from the locale
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
xvfb-run -a ctest --test-dir "$root/build/win32" --output-on-failure || status=1
wineserver -k 2>/dev/null || true

exit $status
