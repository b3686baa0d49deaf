#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh native | win32 | win64
# The Windows trees are Corvane.dll and its test programs for 32-bit and for 64-bit hosts; the
# 64-bit tree also checks the shape of the 32-bit DLL, so win32 is built first when both are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
case "$kind" in
  native) extra=() ;;
  win32) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
  win64) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
                -DCORVANE_PEER_DLL="$root/build/win32/bin/Corvane.dll") ;;
  *) echo "build: unknown kind '$kind'" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/build/$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$root/build/$kind" -j2
