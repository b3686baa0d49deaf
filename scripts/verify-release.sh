#!/usr/bin/env bash
# Checks a published release against its source:
#   scripts/verify-release.sh DIST [--work DIR] [--trees ROOT]
# DIST is a release folder as scripts/package.sh leaves it (BUILDINFO, SHA256SUMS and the files
# they list), signed or not. The files are checked against SHA256SUMS; then the commit that
# BUILDINFO names is cloned from this repository into DIR/src (default: a new temporary folder),
# built from that clean tree with the same SOURCE_DATE_EPOCH, and packaged with the signatures
# taken out of DIST's files attached at the same steps. Every listed file must come out byte for
# byte the same; for one that does not, diffoscope shows how it differs.
# A DIR/src left by an earlier run at the same commit is built again incrementally. With
# --trees, the release files and debug information that ROOT's trees built (Corvane.dll,
# corvane.exe and their .debug files, the unstripped libcorvane.so) are compared too.
# Exits 0 when the release is reproduced, 1 when it is not, 2 on a usage error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/verify-release.sh DIST [--work DIR] [--trees ROOT]" >&2; exit 2; }
[ $# -ge 1 ] || usage
dist=$(cd "$1" && pwd)
shift
work= trees=
while [ $# -gt 0 ]; do
  case "$1" in
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    --trees) [ $# -ge 2 ] || usage; trees=$(cd "$2" && pwd); shift 2 ;;
    *) usage ;;
  esac
done
refuse() { echo "verify-release: REFUSED: $*"; exit 1; }

[ -f "$dist/BUILDINFO" ] && [ -f "$dist/SHA256SUMS" ] || refuse "$dist has no BUILDINFO or SHA256SUMS"
info() { sed -n "s/^$1 //p" "$dist/BUILDINFO"; }
commit=$(info commit)
epoch=$(info source-date-epoch)
[[ $commit =~ ^[0-9a-f]{40}$ ]] && [[ $epoch =~ ^[0-9]+$ ]] || refuse "BUILDINFO names no commit or date"
[ "$(info tree)" = clean ] || refuse "the release was built from a tree with uncommitted changes; it cannot be rebuilt"
# SHA256SUMS names plain files of DIST, nothing else.
grep -qvE '^[0-9a-f]{64}  [A-Za-z0-9][A-Za-z0-9._+~-]*$' "$dist/SHA256SUMS" &&
  refuse "SHA256SUMS holds a line that is not the sum of a file in $dist"
(cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || refuse "a file differs from SHA256SUMS"
echo "verify-release: the files match SHA256SUMS; rebuilding commit $commit (SOURCE_DATE_EPOCH=$epoch)"

if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)
src=$work/src
git -C "$root" cat-file -e "$commit^{commit}" 2>/dev/null ||
  refuse "commit $commit is not in $root: fetch it first"
if [ ! -d "$src/.git" ]; then
  git clone -q --no-checkout "$root" "$src"
fi
git -C "$src" fetch -q "$root" "$commit"
git -C "$src" checkout -q --force --detach "$commit"
git -C "$src" clean -q -d -f -x -e /build/
[ -z "$(git -C "$src" status --porcelain)" ] || refuse "the rebuild's tree is not clean"

# The signatures, as package.sh attaches them: <tree>/<file>.sig from the PE files in the
# portable archives (the installers carry the same files), <installer>.sig from each installer.
sigs=$work/signatures
rm -rf "$sigs" "$work/unpacked" && mkdir -p "$sigs" "$work/unpacked"
extract() {  # extract FILE NAME: FILE's signature as NAME.sig, where it has one
  mkdir -p "$(dirname "$sigs/$2")"
  osslsigncode extract-signature -in "$1" -out "$sigs/$2.sig" >/dev/null 2>&1 || rm -f "$sigs/$2.sig"
}
for zip in "$dist"/Corvane-*-win32.zip "$dist"/Corvane-*-win64.zip; do
  [ -f "$zip" ] || continue
  tree=${zip%.zip}; tree=${tree##*-}
  unzip -q -o "$zip" -d "$work/unpacked/$tree"
  for name in Corvane.dll corvane.exe; do
    file=$(find "$work/unpacked/$tree" -name "$name" | head -n 1)
    [ -n "$file" ] && extract "$file" "$tree/$name"
  done
done
for msi in "$dist"/Corvane-*.msi; do
  [ -f "$msi" ] && extract "$msi" "$(basename "$msi")"
done
echo "verify-release: $(find "$sigs" -name '*.sig' | wc -l) signatures to attach"

rebuilt=$src/dist
rm -rf "$rebuilt"
(cd "$src" && env -u CORVANE_SIGN_CERT -u CORVANE_SIGN_KEY -u CORVANE_SIGN_TIMESTAMP_URL \
   -u CORVANE_PACKAGE_DIST -u CORVANE_PACKAGE_VERSION -u CORVANE_PACKAGE_RELEASE \
   SOURCE_DATE_EPOCH="$epoch" CORVANE_TESTS=OFF CORVANE_SIGN_ATTACH="$sigs" \
   scripts/package.sh linux windows) >"$work/rebuild.log" 2>&1 ||
  { tail -n 30 "$work/rebuild.log"; refuse "the rebuild failed (log: $work/rebuild.log)"; }

status=0
compare() {  # compare NAME ORIGINAL REBUILT
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  elif [ -f "$3" ]; then
    echo "DIFFERS: $1"
    timeout 300 diffoscope --text - --max-report-size 200000 "$2" "$3" | head -n 200 || true
    status=1
  else
    echo "DIFFERS: $1 (the rebuild has no such file)"
    status=1
  fi
}
while read -r _ name; do
  compare "$name" "$dist/$name" "$rebuilt/$name"
done <"$dist/SHA256SUMS"
if [ -n "$trees" ]; then
  for file in "$trees"/build/win32/release/* "$trees"/build/win64/release/* \
              "$trees"/build/native/packaging/libcorvane.so.1.1.0; do
    file=${file#"$trees"/}
    compare "$file" "$trees/$file" "$src/$file"
  done
fi
[ $status -eq 0 ] || refuse "the rebuild differs from the release"
echo "verify-release: reproduced: every file of $dist is what commit $commit builds"
