#!/usr/bin/env bash
# Builds what ships into dist/:
#   scripts/package.sh linux    the Debian packages libcorvane1, libcorvane-dev and corvane,
#                               from the native tree
# With no argument, every kind. Each kind builds its tree first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(linux)

mkdir -p "$dist"
for kind in "${kinds[@]}"; do
  case "$kind" in
    linux)
      "$root/scripts/install-deps.sh" native package
      "$root/scripts/build.sh" native
      rm -f "$dist"/*.deb
      (cd "$root/build/native" && cpack -G DEB -B "$root/build/native/cpack" >/dev/null)
      mv "$root/build/native/cpack"/*.deb "$dist"/
      ;;
    *) echo "package: unknown kind '$kind'" >&2; exit 2 ;;
  esac
done
ls -l "$dist"
