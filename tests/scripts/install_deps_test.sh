#!/usr/bin/env bash
# The install step against an archive that fails the way a half-synced Debian mirror does, with
# stand-ins for apt-get, dpkg-query, dpkg and sudo on PATH. Usage: install_deps_test.sh ROOT
# Each case: which failures the stand-in plays, the script's expected exit status, and what its
# output must hold.
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
status=0

# The stand-in. Installed packages are files in $STANDIN/installed; every apt-get call is logged
# in $STANDIN/calls. STANDIN_PLAY holds what fails:
#   update     apt-get update exits 100 on an index that does not match its Release file
#   main       an install is refused as unresolvable until the main suite is preferred (-t)
#   never=P    package P never installs (unmet dependency)
#   present    every package is installed already
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STANDIN/calls"
plays() { case " $STANDIN_PLAY " in *" $1 "*) return 0 ;; esac; return 1; }
if [ "$1" = update ]; then
  if plays update; then
    echo "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
[ "$1" = install ] || exit 2
shift
preferred=no
pkgs=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) preferred=$2; shift ;;
    -*) ;;
    *) pkgs+=("$1") ;;
  esac
  shift
done
for p in "${pkgs[@]}"; do
  if plays "never=$p" || { plays main && [ "$preferred" != "$STANDIN_CODENAME" ]; }; then
    echo "The following packages have unmet dependencies:"
    echo " $p : Depends: libstandin-${p%%:*} (= 1.0-1) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi
done
for p in "${pkgs[@]}"; do touch "$STANDIN/installed/$p"; done
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
# dpkg-query -W -f='${Status}' PKG
eval "pkg=\${$#}"
case " $STANDIN_PLAY " in *" present "*) printf 'install ok installed'; exit 0 ;; esac
[ -e "$STANDIN/installed/$pkg" ] || { echo "dpkg-query: no packages found matching $pkg" >&2; exit 1; }
printf 'install ok installed'
EOF
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin"/*

# run NAME PLAY PREINSTALLED: runs the install step of every part; its output in $work/NAME.out.
run() {
  export STANDIN=$work/$1 STANDIN_PLAY=$2 STANDIN_CODENAME=$codename
  mkdir -p "$STANDIN/installed"
  touch "$STANDIN/calls"
  for p in $3; do touch "$STANDIN/installed/$p"; done
  CORVANE_WIN32_UNAVAILABLE=$STANDIN/win32-unavailable CORVANE_APT_PAUSE=0 PATH=$work/bin:$PATH \
    "$root/scripts/install-deps.sh" native windows sanitize package >"$work/$1.out" 2>&1
}
check() {  # check NAME WHAT: reports a failed expectation with the script's output
  echo "FAIL: $1: $2"
  sed 's/^/    /' "$work/$1.out"
  status=1
}
has() { grep -qF -- "$2" "$work/$1.out" || check "$1" "the output lacks '$2'"; }

# The archive in mid-sync: the index named, the main suite preferred, 32-bit Wine given up alone.
run mid-sync "update main never=wine32:i386" ""
[ $? -eq 0 ] || check mid-sync "exits with an error"
has mid-sync "apt-get update could not fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz; going on"
has mid-sync "trying again with $codename preferred"
grep -q -- "-t $codename .*wine32:i386" "$work/mid-sync/calls" || check mid-sync "everything was not tried at once with $codename preferred"
has mid-sync "32-bit Wine could not be installed: wine32:i386 : Depends: libstandin-wine32 (= 1.0-1) but it is not going to be installed; the 32-bit suites will be skipped"
[ "$(grep -c '^apt-get update' "$work/mid-sync/calls")" -eq 3 ] || check mid-sync "apt-get update was not tried three times"
grep -q 'Acquire::Retries' "$work/mid-sync/calls" || check mid-sync "apt's own retries are not asked for"
grep -qx 'wine32:i386 : Depends: .*' "$work/mid-sync/win32-unavailable" || check mid-sync "the reason is not kept for the test command"
for p in wine64 g++-mingw-w64-x86-64 libsqlite3-dev clang wixl; do
  [ -e "$work/mid-sync/installed/$p" ] || check mid-sync "$p is not installed"
done

# A package of the native or 64-bit suites that cannot be installed fails the step.
run no-wine64 "never=wine64" ""
[ $? -ne 0 ] || check no-wine64 "succeeds without wine64"
has no-wine64 "FAILED: what the native and 64-bit builds need could not be installed"
has no-wine64 "wine64 : Depends: libstandin-wine64"

# A sound archive: one update, one install of everything, nothing given up, no stale reason left.
mkdir -p "$work/sound" && echo stale >"$work/sound/win32-unavailable"
run sound "" ""
[ $? -eq 0 ] || check sound "exits with an error"
[ "$(wc -l <"$work/sound/calls")" -eq 2 ] || check sound "not one update and one install: $(cat "$work/sound/calls")"
grep -q -- '-t ' "$work/sound/calls" && check sound "prefers the main suite without need"
[ -e "$work/sound/win32-unavailable" ] && check sound "a stale reason is left behind"
[ -e "$work/sound/installed/wine32:i386" ] || check sound "wine32:i386 is not installed"

# Everything present: apt is not called at all.
run present "present update" ""
[ $? -eq 0 ] || check present "exits with an error"
[ -s "$work/present/calls" ] && check present "calls apt-get: $(cat "$work/present/calls")"

# Every script with --help says how it is used and does nothing (apt-get not called); a missing
# argument is a usage error (exit 2).
export STANDIN=$work/help && mkdir -p "$STANDIN/installed" && : >"$STANDIN/calls"
for script in install-deps test build package fuzz bench run verify-release; do
  PATH=$work/bin:$PATH "$root/scripts/$script.sh" --help >"$work/help.out" 2>&1
  code=$?
  usage=$(sed -n '2s/^# \{0,1\}//p' "$root/scripts/$script.sh")
  [ $code -eq 0 ] && [ "$(head -n 1 "$work/help.out")" = "$usage" ] && [ ! -s "$STANDIN/calls" ] ||
    { echo "FAIL: $script.sh --help: exit $code, or not its usage, or it did something:"
      sed 's/^/    /' "$work/help.out" "$STANDIN/calls"; status=1; }
done
for script in install-deps build verify-release; do
  PATH=$work/bin:$PATH "$root/scripts/$script.sh" >"$work/help.out" 2>&1
  code=$?
  [ $code -eq 2 ] && grep -q "scripts/$script.sh" "$work/help.out" && [ ! -s "$STANDIN/calls" ] ||
    { echo "FAIL: $script.sh without its argument: exit $code (expected 2 and its usage)"
      sed 's/^/    /' "$work/help.out"; status=1; }
done

for name in mid-sync no-wine64 sound present; do
  echo "== $name"
  sed 's/^/    /' "$work/$name.out"
done
[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
