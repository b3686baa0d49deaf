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
#
# Releases are reproducible: every file is dated SOURCE_DATE_EPOCH (default: the last commit's
# time), whatever the time zone and umask, and the packages' codes are derived from what they
# hold. The output folder gets BUILDINFO (the commit and the date it was built from) and
# SHA256SUMS (every file in it); scripts/verify-release.sh rebuilds and compares.
#
# Signing (scripts/release-steps.sh): with CORVANE_SIGN_CERT and CORVANE_SIGN_KEY (paths of the
# PEM certificate and its private key; CORVANE_SIGN_KEY_PASSFILE for a pass phrase), every PE file
# is signed before it goes into a package or an archive, then each installer. With
# CORVANE_SIGN_ATTACH=DIR, the signatures kept in DIR are attached at the same steps instead.
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(linux windows)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
export TZ=UTC
umask 022
source_date=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')

. "$root/scripts/release-steps.sh"

# name_guid NAME: a GUID that NAME alone decides.
name_guid() {
  local h
  h=$(printf 'Corvane\n%s' "$1" | sha256sum | tr a-f A-F)
  echo "${h:0:8}-${h:8:4}-5${h:13:3}-A${h:17:3}-${h:20:12}"
}

# settle DIR: every file and folder under DIR dated SOURCE_DATE_EPOCH, with the modes a package
# gives them.
settle() {
  find "$1" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# html MARKDOWN TITLE OUT: the page a Windows user opens, links between the pages kept.
html() {
  { printf '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n</head>\n<body>\n' "$2"
    sed -e 's#(docs/reference\.md)#(reference.html)#g' -e 's#(reference\.md)#(reference.html)#g' \
        -e 's#(LICENSE)#(LICENSE.txt)#g' "$1" |
      cmark --unsafe
    printf '</body>\n</html>\n'; } >"$3"
}

# windows_packages VERSION OUT RELEASE: the two installers and the two archives of the Windows
# trees' release files (build/<tree>/RELEASE), in OUT.
windows_packages() {
  local version=$1 out=$2 release=$3 stage=$root/build/package-windows
  local source=$root/build/native/packaging/registration-source
  rm -rf "$stage" && mkdir -p "$stage/docs" "$out"
  html "$root/README.md" "Corvane" "$stage/docs/README.html"
  html "$root/docs/reference.md" "Corvane reference" "$stage/docs/reference.html"
  cp "$root/LICENSE" "$stage/docs/LICENSE.txt"
  cp "$root/packaging/windows/corvane.wxs" "$stage/"
  for tree in win32 win64; do
    mkdir -p "$stage/$tree"
    cp "$root/build/$tree/$release"/{Corvane.dll,Corvane.manifest,corvane.exe} "$stage/$tree/"
    sign "$stage/$tree/Corvane.dll" "$tree/Corvane.dll"
    sign "$stage/$tree/corvane.exe" "$tree/corvane.exe"
    mkdir -p "$stage/zip/Corvane-$version-$tree"
    cp "$stage/$tree"/* "$stage"/docs/* "$stage/zip/Corvane-$version-$tree/"
  done
  settle "$stage"
  for tree in win32 win64; do
    rm -f "$out/Corvane-$version-$tree.zip"
    (cd "$stage/zip" && find "Corvane-$version-$tree" | LC_ALL=C sort |
       zip -q -X -D -@ "$out/Corvane-$version-$tree.zip")
  done
  # The x64 package's 32-bit DLL is in INSTALLDIR32; the x86 package's in INSTALLDIR. Its
  # product code follows the version; its package code what it holds.
  "$source" wix win64 CorvaneDll64 INSTALLDIR >"$stage/registration-win64.wxi"
  "$source" wix win32 CorvaneDll32 INSTALLDIR32 --beside win64 >"$stage/registration-win32.wxi"
  wixl_package "$version" x64 "$out"
  "$source" wix win32 CorvaneDll32 INSTALLDIR >"$stage/registration-win32.wxi"
  wixl_package "$version" x86 "$out"
}

# wixl_package VERSION ARCH OUT: one installer from the staging folder, signed.
wixl_package() {
  local version=$1 arch=$2 out=$3 stage=$root/build/package-windows msi
  local content
  msi=$out/Corvane-$version-$arch.msi
  settle "$stage"
  content=$(cd "$stage" && find . -path ./zip -prune -o -type f -print | LC_ALL=C sort |
            xargs sha256sum | sha256sum | cut -c1-64)
  # wixl dates the package by the clock, so it runs at the build's date; it draws the package
  # code at random, so msibuild puts the derived one in its place, the rest of the summary kept.
  (cd "$stage" && faketime -f "$source_date" wixl -a "$arch" -D Version="$version" -D Arch="$arch" \
     -D ProductCode="$(name_guid "product $arch $version")" -o "$msi" corvane.wxs)
  local info=$root/build/package-suminfo
  msiinfo suminfo "$msi" >"$info"
  faketime -f "$source_date" msibuild "$msi" -s "$(sed -n 's/^Subject: //p' "$info")" \
    "$(sed -n 's/^Author: //p' "$info")" "$(sed -n 's/^Template: //p' "$info")" \
    "{$(name_guid "package $arch $version $content")}"
  sign "$msi" "$(basename "$msi")"
}

case $signing in
  unsigned) echo "package: unsigned (CORVANE_SIGN_CERT and CORVANE_SIGN_KEY are not set)" ;;
  attach) echo "package: attaching the signatures in $CORVANE_SIGN_ATTACH" ;;
  sign) echo "package: signing with $CORVANE_SIGN_CERT" ;;
esac

mkdir -p "$dist"
for kind in "${kinds[@]}"; do
  case "$kind" in
    linux)
      "$root/scripts/install-deps.sh" native package
      "$root/scripts/build.sh" native
      rm -f "$dist"/*.deb
      (cd "$root/build/native" && cpack -G DEB -B "$root/build/native/cpack" >/dev/null)
      mv "$root/build/native/cpack"/*.deb "$dist"/
      finish "$dist"
      ;;
    windows|windows-release)
      if [ "$kind" = windows ]; then
        "$root/scripts/install-deps.sh" native windows package
        "$root/scripts/build.sh" native
        "$root/scripts/build.sh" win32
        "$root/scripts/build.sh" win64
      fi
      # The release files carry the date their tree was configured with: it must be this one.
      for tree in win32 win64; do
        built=$(cat "$root/build/$tree/source-date-epoch" 2>/dev/null || echo none)
        [ "$built" = "$SOURCE_DATE_EPOCH" ] || {
          echo "package: build/$tree was built for SOURCE_DATE_EPOCH $built, not $SOURCE_DATE_EPOCH: run scripts/build.sh $tree" >&2
          exit 1; }
      done
      version=${CORVANE_PACKAGE_VERSION:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/win64/CMakeCache.txt")}
      out=${CORVANE_PACKAGE_DIST:-$dist}
      mkdir -p "$out"
      rm -f "$out"/Corvane-*.msi "$out"/Corvane-*.zip
      windows_packages "$version" "$out" "${CORVANE_PACKAGE_RELEASE:-release}"
      finish "$out"
      ;;
    *) echo "package: unknown kind '$kind'" >&2; exit 2 ;;
  esac
done
if [ -z "${CORVANE_PACKAGE_DIST:-}" ]; then ls -l "$dist"; fi
