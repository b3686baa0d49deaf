#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh native | win32
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
case "$kind" in
  native) extra=() ;;
  win32) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
  *) echo "build: unknown kind '$kind'" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/build/$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$root/build/$kind" -j2
