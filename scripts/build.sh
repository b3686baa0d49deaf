#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh native | sanitize | tsan | fuzz | win32 | win64
# "sanitize" is the native tree built by clang with AddressSanitizer and UndefinedBehaviorSanitizer
# (any report fails the test that triggered it); "tsan" the suites and the stress program built
# by clang with ThreadSanitizer; "fuzz" the libFuzzer targets, built like "sanitize" with the
# fuzzer's coverage.
# The Windows trees are Corvane.dll and its test programs for 32-bit and for 64-bit hosts; the
# 64-bit tree also checks the shape of the 32-bit DLL, so win32 is built first when both are;
# both trade .reg files with the native tool, so native is built before them.
# With CORVANE_TESTS=OFF a tree builds only what ships (a release rebuilt for comparison).
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || usage_error "name one tree"
kind=$1
case "$kind" in
  native) extra=() ;;
  sanitize)
    flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    extra=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS=$flags"
           "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined") ;;
  tsan)
    flags="-fsanitize=thread -fno-omit-frame-pointer"
    extra=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS=$flags"
           "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread") ;;
  fuzz)
    flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    extra=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS=$flags"
           "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
           -DCORVANE_FUZZ=ON) ;;
  win32) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
                -DCORVANE_NATIVE_TOOL="$root/build/native/cli/corvane"
                -DCORVANE_REGISTRATION_SOURCE="$root/build/native/packaging/registration-source") ;;
  win64) extra=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
                -DCORVANE_PEER_DLL="$root/build/win32/bin/Corvane.dll"
                -DCORVANE_NATIVE_TOOL="$root/build/native/cli/corvane"
                -DCORVANE_REGISTRATION_SOURCE="$root/build/native/packaging/registration-source") ;;
  *) usage_error "unknown kind '$kind'" ;;
esac
cmake -S "$root" -B "$root/build/$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCORVANE_TESTS="${CORVANE_TESTS:-ON}" "${extra[@]}" >/dev/null
if [ "$kind" = fuzz ]; then
  cmake --build "$root/build/$kind" -j2 --target fuzzers  # the fuzz tree holds only the fuzzers
elif [ "${CORVANE_TESTS:-ON}" = OFF ] && [ "$kind" = native ]; then
  cmake --build "$root/build/$kind" -j2 --target corvane_shared corvane_tool corvane_docs registration-source
elif [ "$kind" = tsan ]; then
  cmake --build "$root/build/$kind" -j2 --target corvane_tests store_stress
else
  cmake --build "$root/build/$kind" -j2
fi
