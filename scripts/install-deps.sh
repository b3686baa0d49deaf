#!/usr/bin/env bash
# Installs what the builds need on a Debian machine, only what is missing.
#   scripts/install-deps.sh native          the native build, its tests and benchmarks
#   scripts/install-deps.sh native windows  also MinGW-w64 (i686 and x86_64), Wine (32-bit and
#                                           64-bit) and Xvfb
#   ... sanitize                            clang with its sanitizer runtimes
#   ... package                             what packaging and its tests need: dpkg-dev
#                                           (shlibdeps), file, lintian, pkg-config, man-db,
#                                           wixl and msitools (Windows Installer), zip
set -euo pipefail

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

native=(cmake make g++ googletest libgtest-dev libbenchmark-dev libsqlite3-dev libcli11-dev libedit-dev)
windows=(libcli11-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 libwine-dev
         xvfb xauth)

sanitize=(clang libclang-rt-14-dev)
package=(dpkg-dev file lintian pkg-config man-db wixl msitools zip unzip)

wanted=()
for part in "$@"; do
  case "$part" in
    native) wanted+=("${native[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    sanitize) wanted+=("${sanitize[@]}") ;;
    package) wanted+=("${package[@]}") ;;
    *) echo "install-deps: unknown part '$part'" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
for pkg in "${missing[@]}"; do
  if [[ "$pkg" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
done
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
