#!/usr/bin/env bash
# Checks a published release against its source:
#   scripts/verify-release.sh DIST [--trust REF] [--signer CERT] [--work DIR] [--trees ROOT]
# DIST is a release folder as scripts/package.sh leaves it (BUILDINFO, SHA256SUMS and the files
# they list), signed or not. Every entry of DIST but SHA256SUMS must be a regular file that
# SHA256SUMS lists, and match its sum. The commit that BUILDINFO names must be one the user
# trusts: reachable from REF (default: this repository's origin/main, or one of its tags).
# Verifying runs that commit's own build scripts (package.sh, and install-deps.sh with sudo
# where the user is not root): do it in a throwaway container or machine. The commit is cloned
# from this repository into DIR/src (default: a new temporary folder),
# built from that clean tree with the same SOURCE_DATE_EPOCH, and packaged with the signatures
# taken out of DIST's files attached at the same steps. Every listed file must come out byte for
# byte the same, and the rebuild must make no file that DIST lacks; for one that differs,
# diffoscope shows how.
# Who signed is a question apart: each signature's signer is named (subject, SHA-256 fingerprint)
# with whether it chains to an authority this system trusts. With --signer, every PE file and
# installer must be signed by CERT (a PEM certificate) or by a certificate it issued; without it,
# the signers are named but not checked.
# A DIR/src left by an earlier run is emptied of everything the commit does not hold. With
# --trees, the release files and debug information that ROOT's trees built (Corvane.dll,
# corvane.exe and their .debug files, the unstripped libcorvane.so) are compared too.
# Exits 0 when the release is reproduced (and signed by CERT), 1 when it is not, 2 on a usage
# error.
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/verify-release.sh DIST [--trust REF] [--signer CERT] [--work DIR] [--trees ROOT]" >&2; exit 2; }
[ $# -ge 1 ] || usage
dist=$(cd "$1" && pwd)
shift
work= trees= trust= signer=
while [ $# -gt 0 ]; do
  case "$1" in
    --trust) [ $# -ge 2 ] || usage; trust=$2; shift 2 ;;
    --signer) [ $# -ge 2 ] || usage; signer=$(realpath -m -- "$2"); shift 2
      openssl x509 -in "$signer" -noout 2>/dev/null ||
        { echo "verify-release: --signer $2 is not a PEM certificate" >&2; exit 2; } ;;
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    --trees) [ $# -ge 2 ] || usage; trees=$(cd "$2" && pwd); shift 2 ;;
    *) usage ;;
  esac
done
refuse() { echo "verify-release: REFUSED: $*"; exit 1; }
# serial FORM NUMBER: a serial number as bare upper-case hexadecimal, from the form that openssl's
# "pkcs7 -print" gives (0x-hexadecimal, or decimal where it is small) or "x509 -serial" gives.
serial() {
  local n=$2
  if [ "$1" = pkcs7 ]; then
    if [[ $n == 0x* ]]; then n=${n#0x}; else n=$(printf '%X' "$n"); fi
  fi
  n=${n^^}
  echo "${n#"${n%%[!0]*}"}"
}
echo "verify-release: this runs the build scripts of the release's commit (scripts/package.sh, and"
echo "verify-release: scripts/install-deps.sh with sudo where you are not root); run it in a"
echo "verify-release: throwaway container or machine"

[ -f "$dist/BUILDINFO" ] && [ -f "$dist/SHA256SUMS" ] || refuse "$dist has no BUILDINFO or SHA256SUMS"
info() { sed -n "s/^$1 //p" "$dist/BUILDINFO"; }
commit=$(info commit)
epoch=$(info source-date-epoch)
[[ $commit =~ ^[0-9a-f]{40}$ ]] && [[ $epoch =~ ^[0-9]+$ ]] || refuse "BUILDINFO names no commit or date"
[ "$(info tree)" = clean ] || refuse "the release was built from a tree with uncommitted changes; it cannot be rebuilt"
# SHA256SUMS names plain files of DIST, nothing else; every entry of DIST but SHA256SUMS is a
# regular file that it lists (so no link, device or folder is read, and nothing hangs).
grep -qvE '^[0-9a-f]{64}  [A-Za-z0-9][A-Za-z0-9._+~-]*$' "$dist/SHA256SUMS" &&
  refuse "SHA256SUMS holds a line that is not the sum of a file in $dist"
listed=$(cut -c67- "$dist/SHA256SUMS" | sort)
[ -z "$(printf '%s\n' "$listed" | uniq -d)" ] || refuse "SHA256SUMS lists a file twice"
while IFS= read -r name; do
  if [ -L "$dist/$name" ] || [ ! -f "$dist/$name" ]; then
    refuse "$name is listed in SHA256SUMS but is not a regular file of $dist"
  fi
done <<<"$listed"
for entry in "$dist"/* "$dist"/.[!.]* "$dist"/..?*; do
  if [ ! -e "$entry" ] && [ ! -L "$entry" ]; then continue; fi
  name=${entry##*/}
  # A name with a control character is refused before it is matched: a newline would make one
  # name several lines, each matched on its own.
  [[ $name != *[[:cntrl:]]* ]] || refuse "a name in $dist holds a control character: $(printf '%q' "$name")"
  if [ "$name" = SHA256SUMS ]; then continue; fi
  if [ -L "$entry" ] || [ ! -f "$entry" ]; then refuse "$name in $dist is not a regular file"; fi
  grep -qxF -- "$name" <<<"$listed" || refuse "$name in $dist is not listed in SHA256SUMS"
done
grep -qx BUILDINFO <<<"$listed" || refuse "SHA256SUMS does not list BUILDINFO"
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
  refuse "commit $commit is not in $root: fetch the project's branches and tags from the repository you trust (git fetch origin --tags), then verify again"
# The commit must be one the user trusts: on the given ref, else on origin's main or a tag.
if [ -n "$trust" ]; then
  refs=("$trust")
else
  refs=()
  git -C "$root" rev-parse -q --verify refs/remotes/origin/main >/dev/null && refs+=(refs/remotes/origin/main)
  while IFS= read -r tag; do refs+=("$tag"); done < <(git -C "$root" for-each-ref --format='%(refname)' refs/tags)
fi
trusted=
for ref in "${refs[@]}"; do
  git -C "$root" rev-parse -q --verify "$ref^{commit}" >/dev/null || refuse "no such ref to trust: $ref"
  if git -C "$root" merge-base --is-ancestor "$commit" "$ref"; then trusted=$ref; break; fi
done
[ -n "$trusted" ] ||
  refuse "commit $commit is not reachable from ${refs[*]:-origin/main or a tag (this repository has neither)}; name a ref you trust with --trust REF"
echo "verify-release: commit $commit is on $trusted, which is trusted"
if [ ! -d "$src/.git" ]; then
  git clone -q --no-checkout "$root" "$src"
fi
git -C "$src" fetch -q "$root" "$commit"
git -C "$src" checkout -q --force --detach "$commit"
git -C "$src" clean -q -d -f -f -x

# The signatures, as package.sh attaches them: <tree>/<file>.sig from the PE files in the
# portable archives (the installers carry the same files), <installer>.sig from each installer.
# Nothing of the release is unpacked: an archive is only listed, and the one member wanted is
# read through a pipe into a file of this script's naming, so no member's name, link or path
# decides where anything is written.
sigs=$work/signatures
rm -rf "$sigs" "$work/unpacked" && mkdir -p "$sigs"
unsigned=()
extract() {  # extract FILE NAME: FILE's signature as NAME.sig, where it has one
  mkdir -p "$(dirname "$sigs/$2")"
  osslsigncode extract-signature -in "$1" -out "$sigs/$2.sig" >/dev/null 2>&1 ||
    { rm -f "$sigs/$2.sig"; unsigned+=("$2"); }
}
member=$work/member
for zip in "$dist"/Corvane-*-win32.zip "$dist"/Corvane-*-win64.zip; do
  [ -f "$zip" ] || continue
  tree=${zip%.zip}; tree=${tree##*-}
  members=$(unzip -Z1 "$zip" 2>/dev/null) || refuse "${zip##*/} is not an archive that can be listed"
  for name in Corvane.dll corvane.exe; do
    # Plain names only, so that unzip's wildcards match the one member meant.
    inside=$(grep -E -m 1 "^([A-Za-z0-9_+~-][A-Za-z0-9._+~-]*/)*$name\$" <<<"$members" | grep -v '\.\./' || true)
    [ -n "$inside" ] || continue
    rm -f "$member"
    unzip -p "$zip" "$inside" >"$member" && extract "$member" "$tree/$name"
  done
done
rm -f "$member"
for msi in "$dist"/Corvane-*.msi; do
  [ -f "$msi" ] && extract "$msi" "$(basename "$msi")"
done
echo "verify-release: $(find "$sigs" -name '*.sig' | wc -l) signatures to attach"
[ -z "$(git -C "$src" status --porcelain --ignored)" ] || refuse "the rebuild's tree is not clean"

# What the release holds decides what is rebuilt: the Debian packages, the Windows packages, or
# both; the rebuild must then make exactly the files the release holds.
kinds=()
compgen -G "$dist/*.deb" >/dev/null && kinds+=(linux)
compgen -G "$dist/*.msi" >/dev/null || compgen -G "$dist/*.zip" >/dev/null && kinds+=(windows)
[ ${#kinds[@]} -gt 0 ] || refuse "$dist holds no package to rebuild"
rebuilt=$src/dist
rm -rf "$rebuilt"
(cd "$src" && env -u CORVANE_SIGN_CERT -u CORVANE_SIGN_KEY -u CORVANE_SIGN_TIMESTAMP_URL \
   -u CORVANE_PACKAGE_DIST -u CORVANE_PACKAGE_VERSION -u CORVANE_PACKAGE_RELEASE \
   SOURCE_DATE_EPOCH="$epoch" CORVANE_TESTS=OFF CORVANE_SIGN_ATTACH="$sigs" \
   scripts/package.sh "${kinds[@]}") >"$work/rebuild.log" 2>&1 ||
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
# And the release lacks nothing that the rebuild makes.
while IFS= read -r name; do
  if ! grep -qxF -- "$name" <<<"$listed"; then
    echo "DIFFERS: $name: the rebuild makes it, and the release lacks it"
    status=1
  fi
done < <(find "$rebuilt" -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | sort)
if [ -n "$trees" ]; then
  for file in "$trees"/build/win32/release/* "$trees"/build/win64/release/* \
              "$trees"/build/native/packaging/libcorvane.so.1.1.0; do
    file=${file#"$trees"/}
    compare "$file" "$trees/$file" "$src/$file"
  done
fi

# Who signed: the certificate that the signature's signer information names, among those it
# carries. Validity dates are not checked, so that an old release stays checkable after its
# certificate expires.
foreign=()
while IFS= read -r sig; do
  name=${sig#"$sigs/"} name=${name%.sig} certs=$work/certs
  rm -rf "$certs" && mkdir -p "$certs"
  openssl pkcs7 -inform DER -in "$sig" -print_certs -out "$certs/carried.pem" 2>/dev/null || true
  awk -v dir="$certs" '/BEGIN CERTIFICATE/ { n++ } n { print > (dir "/" n ".pem") }' "$certs/carried.pem"
  number=$(openssl pkcs7 -inform DER -in "$sig" -print 2>/dev/null |
           awk '/^ *signer_info:/ { s = 1 } s && /^ *serial:/ { print $2; exit }') || true
  wanted=$(serial pkcs7 "$number") by=
  for cert in "$certs"/[0-9]*.pem; do
    number=$(openssl x509 -in "$cert" -noout -serial 2>/dev/null) || continue
    if [ "$(serial x509 "${number#serial=}")" = "$wanted" ]; then by=$cert; break; fi
  done
  [ -n "$by" ] || { echo "SIGNER UNKNOWN: $name: its signature carries no signer's certificate"; foreign+=("$name"); continue; }
  subject=$(openssl x509 -in "$by" -noout -subject -nameopt RFC2253)
  fingerprint=$(openssl x509 -in "$by" -noout -fingerprint -sha256)
  if openssl verify -no_check_time -untrusted "$certs/carried.pem" "$by" >/dev/null 2>&1; then
    chain="chains to an authority this system trusts"
  else
    chain="UNTRUSTED: it does not chain to an authority this system trusts"
  fi
  echo "signer of $name: ${subject#subject=}, SHA-256 ${fingerprint#*=}; $chain"
  if [ -n "$signer" ] && ! openssl verify -partial_chain -no_check_time -CAfile "$signer" \
       -untrusted "$certs/carried.pem" "$by" >/dev/null 2>&1; then
    foreign+=("$name")
  fi
done < <(find "$sigs" -name '*.sig' | sort)

[ $status -eq 0 ] || refuse "the rebuild differs from the release"
echo "verify-release: reproduced: every file of $dist is what commit $commit builds"
if [ -z "$signer" ]; then
  echo "verify-release: the signers were not checked; name the project's certificate with --signer CERT"
  exit 0
fi
[ ${#unsigned[@]} -eq 0 ] || refuse "not signed, where --signer asks for signed files: ${unsigned[*]}"
[ ${#foreign[@]} -eq 0 ] || refuse "not signed by $signer or a certificate it issued: ${foreign[*]}"
echo "verify-release: every signed file is signed by $signer or a certificate it issued"
