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
# Signing: with CORVANE_SIGN_CERT (a PEM certificate file, chain allowed) and CORVANE_SIGN_KEY (the
# path of its PEM private key file, never the key itself; CORVANE_SIGN_KEY_PASSFILE names a file
# holding the key's pass phrase), every PE file is signed before it goes into a package or an
# archive, then each
# installer (osslsigncode, SHA-256, described as "Corvane"), timestamped at
# CORVANE_SIGN_TIMESTAMP_URL when that is set. With CORVANE_SIGN_ATTACH=DIR, the signatures in
# DIR (<tree>/<file>.sig, <installer>.sig, as verify-release.sh extracts them) are attached at
# the same steps instead.
set -euo pipefail
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

signing=unsigned
if [ -n "${CORVANE_SIGN_ATTACH:-}" ]; then
  signing=attach
elif [ -n "${CORVANE_SIGN_CERT:-}" ] || [ -n "${CORVANE_SIGN_KEY:-}" ]; then
  [ -n "${CORVANE_SIGN_CERT:-}" ] && [ -n "${CORVANE_SIGN_KEY:-}" ] ||
    { echo "package: CORVANE_SIGN_CERT and CORVANE_SIGN_KEY go together" >&2; exit 2; }
  # The key stays in its file: its path goes to osslsigncode, and the value is never shown (it
  # may be the key itself, pasted by mistake).
  for var in CORVANE_SIGN_CERT CORVANE_SIGN_KEY CORVANE_SIGN_KEY_PASSFILE; do
    value=${!var:-}
    [ -z "$value" ] && [ $var = CORVANE_SIGN_KEY_PASSFILE ] && continue
    if [[ $value == *$'\n'* ]] || [ ! -f "$value" ] || [ ! -r "$value" ]; then
      echo "package: $var must be the path of a readable file (its value is not shown)" >&2
      exit 2
    fi
  done
  for var in CORVANE_SIGN_KEY CORVANE_SIGN_KEY_PASSFILE; do
    value=${!var:-}
    if [ -n "$value" ] && [ $(( 0$(stat -L -c %a "$value") & 077 )) -ne 0 ]; then
      echo "package: warning: $var names a file that other users can read (mode $(stat -L -c %a "$value")); make it 0600" >&2
    fi
  done
  signing=sign
fi

# sign FILE SIGNATURE-NAME: signs FILE in place, or attaches SIGNATURE-NAME's kept signature.
sign() {
  local file=$1 name=$2 signed=$1.signed
  case $signing in
    unsigned) return 0 ;;
    attach)
      # osslsigncode checks the attached signature: against the certificates it carries, and
      # the system's authorities (a signature's chain may stop short of its root).
      local sig=$CORVANE_SIGN_ATTACH/$name.sig trust=$CORVANE_SIGN_ATTACH/$name.trust
      [ -f "$sig" ] || return 0
      { openssl pkcs7 -inform DER -in "$sig" -print_certs
        cat /etc/ssl/certs/ca-certificates.crt 2>/dev/null || true; } >"$trust"
      osslsigncode attach-signature -sigin "$sig" -CAfile "$trust" -TSA-CAfile "$trust" \
        -in "$file" -out "$signed" >/dev/null ;;
    sign)
      osslsigncode sign -certs "$CORVANE_SIGN_CERT" -key "$CORVANE_SIGN_KEY" -h sha256 -n Corvane \
        ${CORVANE_SIGN_KEY_PASSFILE:+-readpass "$CORVANE_SIGN_KEY_PASSFILE"} \
        ${CORVANE_SIGN_TIMESTAMP_URL:+-ts "$CORVANE_SIGN_TIMESTAMP_URL"} \
        -in "$file" -out "$signed" >/dev/null 2>"$signed.log" ||
        { grep -v -e 'PRIVATE KEY' -e '^[A-Za-z0-9+/=]\{40,\}$' "$signed.log" >&2; rm -f "$signed.log"; false; } ;;
  esac || { echo "package: signing $name failed" >&2; rm -f "$signed"; return 1; }
  rm -f "$signed.log"
  mv "$signed" "$file"
}

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

# finish OUT: BUILDINFO and SHA256SUMS of OUT.
finish() {
  local out=$1 commit tree=clean
  commit=$(git -C "$root" rev-parse HEAD)
  [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] || tree=modified
  printf 'commit %s\nsource-date-epoch %s\ntree %s\n' "$commit" "$SOURCE_DATE_EPOCH" "$tree" >"$out/BUILDINFO"
  (cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
     xargs sha256sum >SHA256SUMS)
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
