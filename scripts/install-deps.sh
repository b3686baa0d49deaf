#!/usr/bin/env bash
# Installs what the builds need on a Debian machine, only what is missing.
#   scripts/install-deps.sh native          the native build, its tests and benchmarks
#   scripts/install-deps.sh native windows  also MinGW-w64 (i686 and x86_64), Wine (32-bit and
#                                           64-bit), Xvfb, and faketime (widl dated by the source)
#   ... sanitize                            clang with its sanitizer runtimes
#   ... package                             what packaging and its tests need: dpkg-dev
#                                           (shlibdeps), file, lintian, pkg-config, man-db,
#                                           wixl and msitools (Windows Installer), zip,
#                                           faketime, osslsigncode and openssl (signing),
#                                           cmark (the HTML pages), diffoscope (what differs
#                                           between two builds)
#
# The archive is taken as it is. An index that cannot be fetched (a mirror in mid-sync can
# stay so for days) is named in one line, and the install goes on with the lists apt has. An
# install that apt cannot resolve (the machine's amd64 libraries newer than the i386 twins the
# release knows) is tried again with the release's main suite preferred. The 32-bit Wine
# packages serve only the 32-bit suites: when they still cannot be installed, the script says so
# in one line with apt's reason, writes that reason to $CORVANE_WIN32_UNAVAILABLE (default
# build/win32-unavailable), and succeeds; the test command then reports those suites as
# skipped. Any other package that cannot be installed fails the script.
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
unavailable=${CORVANE_WIN32_UNAVAILABLE:-$root/build/win32-unavailable}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

native=(cmake make g++ googletest libgtest-dev libbenchmark-dev libsqlite3-dev libcli11-dev libedit-dev
        sqlite3 unicode-data)
windows=(libcli11-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 libwine-dev
         xvfb xauth faketime)

sanitize=(clang libclang-rt-14-dev)
package=(dpkg-dev file lintian pkg-config man-db wixl msitools zip unzip faketime osslsigncode openssl
         cmark diffoscope-minimal)

[ $# -gt 0 ] || usage_error "name the parts to install"
wanted=()
for part in "$@"; do
  case "$part" in
    native) wanted+=("${native[@]}") ;;
    windows) wanted+=("${windows[@]}") ;;
    sanitize) wanted+=("${sanitize[@]}") ;;
    package) wanted+=("${package[@]}") ;;
    *) usage_error "unknown part '$part'" ;;
  esac
done

# What is missing, split into the 32-bit Wine packages and everything else.
missing=()
missing32=()
for pkg in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    if [[ "$pkg" == *:i386 ]]; then missing32+=("$pkg"); else missing+=("$pkg"); fi
  fi
done
rm -f "$unavailable"
[ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]} ${missing32[*]}"
if [ ${#missing32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# The package lists: three tries, each with apt's own retries.
updated=no
for attempt in 1 2 3; do
  if "${sudo_cmd[@]}" apt-get update -q -o Acquire::Retries=3 >"$log" 2>&1; then
    updated=yes
    break
  fi
  [ "$attempt" -lt 3 ] && sleep $((attempt * ${CORVANE_APT_PAUSE:-5}))
done
if [ $updated = no ]; then
  failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u | paste -sd ' ')
  echo "install-deps: apt-get update could not fetch ${failed:-its indexes ($(grep '^E:' "$log" | tail -n 1))}; going on with the package lists apt has"
fi

# apt's reason for a failed install, in one line: the first unmet dependency, else its last error.
reason() {
  local why
  why=$(sed -n 's/^ *\([^ ]* : Depends: .*\)/\1/p' "$log" | head -n 1)
  [ -n "$why" ] || why=$(sed -n 's/^E: //p' "$log" | tail -n 1)
  echo "${why:-apt-get install failed}"
}

# apt_install PKG...: apt-get install, and again with the release's main suite preferred.
apt_install() {
  local codename
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "$@" >"$log" 2>&1 && return 0
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 1
  echo "install-deps: apt-get install could not resolve ($(reason)); trying again with $codename preferred"
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends -t "$codename" "$@" >"$log" 2>&1
}

# Everything in one transaction first, so that apt can pick the amd64 and i386 versions together;
# then, if that cannot be done, everything but 32-bit Wine, and 32-bit Wine on its own.
[ ${#missing32[@]} -gt 0 ] && [ ${#missing[@]} -gt 0 ] && apt_install "${missing[@]}" "${missing32[@]}" &&
  exit 0
if [ ${#missing[@]} -gt 0 ] && ! apt_install "${missing[@]}"; then
  cat "$log" >&2
  echo "install-deps: FAILED: what the native and 64-bit builds need could not be installed: $(reason)" >&2
  exit 1
fi
if [ ${#missing32[@]} -gt 0 ] && ! apt_install "${missing32[@]}"; then
  why=$(reason)
  mkdir -p "$(dirname "$unavailable")"
  echo "$why" >"$unavailable"
  echo "install-deps: 32-bit Wine could not be installed: $why; the 32-bit suites will be skipped"
fi
exit 0
