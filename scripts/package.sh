#!/usr/bin/env bash
# Builds what ships into dist/:
#   scripts/package.sh linux    the Debian packages libcorvane1, libcorvane-dev and corvane,
#                               from the native tree
#   scripts/package.sh windows  Corvane-<version>-x86.msi and -x64.msi (wixl), and the portable
#                               archives Corvane-<version>-win32.zip and -win64.zip, from the
#                               release files of both Windows trees
#   scripts/package.sh windows-release   the same from the trees as they are, without building
# With no argument, linux and windows; each builds its trees first. For windows-release,
# CORVANE_PACKAGE_VERSION (a.b.c), CORVANE_PACKAGE_RELEASE (the trees' folder of release files,
# "release") and CORVANE_PACKAGE_DIST (the output folder, dist/) make another set, as the
# upgrade test does with the older version.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(linux windows)

# windows_packages VERSION OUT RELEASE: the two installers and the two archives of the Windows
# trees' release files (build/<tree>/RELEASE), in OUT.
windows_packages() {
  local version=$1 out=$2 release=$3 stage=$root/build/package-windows
  local source=$root/build/native/packaging/registration-source
  rm -rf "$stage" && mkdir -p "$stage/docs" "$out"
  cp "$root/README.md" "$root/docs/reference.md" "$root/LICENSE" "$stage/docs/"
  cp "$root/packaging/windows/corvane.wxs" "$stage/"
  for tree in win32 win64; do
    mkdir -p "$stage/$tree"
    cp "$root/build/$tree/$release"/{Corvane.dll,Corvane.manifest,corvane.exe} "$stage/$tree/"
    (cd "$stage" && rm -f "$out/Corvane-$version-$tree.zip" &&
     mkdir -p "zip/Corvane-$version-$tree" &&
     cp "$tree"/* docs/* "zip/Corvane-$version-$tree/" &&
     cd zip && zip -q -r "$out/Corvane-$version-$tree.zip" "Corvane-$version-$tree")
  done
  # The x64 package's 32-bit DLL is in INSTALLDIR32; the x86 package's in INSTALLDIR.
  "$source" wix win64 CorvaneDll64 INSTALLDIR >"$stage/registration-win64.wxi"
  "$source" wix win32 CorvaneDll32 INSTALLDIR32 --beside win64 >"$stage/registration-win32.wxi"
  (cd "$stage" && wixl -a x64 -D Version="$version" -D Arch=x64 -o "$out/Corvane-$version-x64.msi" corvane.wxs)
  "$source" wix win32 CorvaneDll32 INSTALLDIR >"$stage/registration-win32.wxi"
  (cd "$stage" && wixl -a x86 -D Version="$version" -D Arch=x86 -o "$out/Corvane-$version-x86.msi" corvane.wxs)
}

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
    windows)
      "$root/scripts/install-deps.sh" native windows package
      "$root/scripts/build.sh" native
      "$root/scripts/build.sh" win32
      "$root/scripts/build.sh" win64
      "$0" windows-release
      ;;
    windows-release)
      version=${CORVANE_PACKAGE_VERSION:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/win64/CMakeCache.txt")}
      out=${CORVANE_PACKAGE_DIST:-$dist}
      mkdir -p "$out"
      rm -f "$out"/Corvane-*.msi "$out"/Corvane-*.zip
      windows_packages "$version" "$out" "${CORVANE_PACKAGE_RELEASE:-release}"
      ;;
    *) echo "package: unknown kind '$kind'" >&2; exit 2 ;;
  esac
done
if [ -z "${CORVANE_PACKAGE_DIST:-}" ]; then ls -l "$dist"; fi
