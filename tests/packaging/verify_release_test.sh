#!/usr/bin/env bash
# Hostile release folders fed to verify-release.sh, one row each, every run under a timeout:
#   verify_release_test.sh ROOT DIST
# ROOT is the checkout whose verify-release.sh and release-steps.sh are tried; DIST a Windows
# release it made. They run in a stand-in repository whose package.sh makes its release with the
# same release steps, in seconds: DIST's x64 installer and win64 Corvane.dll (in an archive),
# each signed or not, and whatever an earlier build left in build/extra/.
set -uo pipefail
root=$1
dist=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
repo=$work/repo pki=$work/pki status=0
msi=$(cd "$dist" && ls Corvane-*-x64.msi)
mkdir -p "$repo/scripts" "$pki" "$work/releases"
cp "$root"/scripts/{verify-release.sh,release-steps.sh,usage.sh} "$repo/scripts/"
unzip -q -j "$dist"/Corvane-*-win64.zip '*/Corvane.dll' -d "$work"
for file in "$work/Corvane.dll" "$dist/$msi"; do  # unsigned, whatever DIST holds
  osslsigncode remove-signature -in "$file" -out "$repo/${file##*/}" >/dev/null 2>&1 || cp "$file" "$repo/"
done
cat >"$repo/scripts/package.sh" <<EOF
#!/usr/bin/env bash
set -euo pipefail
root=\$(cd "\$(dirname "\$0")/.." && pwd)
export SOURCE_DATE_EPOCH=\${SOURCE_DATE_EPOCH:-\$(git -C "\$root" log -1 --format=%ct)} TZ=UTC
umask 022
. "\$root/scripts/release-steps.sh"
out=\$root/dist stage=\$root/build/stage/Corvane-win64
mkdir -p "\$out" "\$stage" "\$root/build/extra"
cp "\$root/Corvane.dll" "\$root/$msi" "\$stage/"
sign "\$stage/Corvane.dll" win64/Corvane.dll
sign "\$stage/$msi" $msi
mv "\$stage/$msi" "\$out/"
touch -d "@\$SOURCE_DATE_EPOCH" "\$stage" "\$stage/Corvane.dll"
(cd "\$stage/.." && zip -q -X -D -r "\$out/Corvane-stand-in-win64.zip" Corvane-win64)
cp -r "\$root/build/extra/." "\$out/"
finish "\$out"
EOF
chmod +x "$repo/scripts/package.sh"
git -C "$repo" init -q && git -C "$repo" add -A &&
  git -C "$repo" -c user.name=t -c user.email=t@t commit -q -m stand-in || { echo "FAIL: the stand-in"; exit 1; }

# An authority and the signer it issued (whose certificate goes alone, its issuer not carried),
# and a stranger's self-signed certificate.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Stand-in Authority" \
  -addext "basicConstraints=critical,CA:true" -keyout "$pki/ca.key" -out "$pki/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Stand-in Signer" -keyout "$pki/signer.key" -out "$pki/signer.csr" 2>/dev/null
openssl x509 -req -in "$pki/signer.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial -days 30 \
  -out "$pki/signer.pem" 2>/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Stranger" -keyout "$pki/stranger.key" \
  -out "$pki/stranger.pem" 2>/dev/null
release() {  # release NAME [CERT KEY]
  (cd "$repo" && rm -rf dist && CORVANE_SIGN_CERT=${2:-} CORVANE_SIGN_KEY=${3:-} scripts/package.sh >/dev/null &&
   mv dist "$work/releases/$1") || { echo "FAIL: making the $1 release"; exit 1; }
}
release unsigned
release signed "$pki/signer.pem" "$pki/signer.key"
release stranger "$pki/stranger.pem" "$pki/stranger.key"
stray=$(git -C "$repo" commit-tree -m "not on any branch" "$(git -C "$repo" rev-parse 'HEAD^{tree}')")
sums() { find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS; }

# row NAME RELEASE EXPECTED PATTERN CHANGE [OPTION...]: a copy of the release, changed by the
# shell command CHANGE (run in the copy), verified with the options; EXPECTED is "early" (refused
# before any rebuild), "refused" or "accepted", and PATTERN must be in the output.
row() {
  local name=$1 base=$2 expected=$3 pattern=$4 change=$5 code outcome
  shift 5
  rm -rf "$work/dist" && cp -r "$work/releases/$base" "$work/dist"
  [ "$name" = "a rerun over a planted build file" ] || rm -rf "$work/rebuild"
  (cd "$work/dist" && eval "$change")
  timeout 60 "$repo/scripts/verify-release.sh" "$work/dist" --trust HEAD --work "$work/rebuild" "$@" >"$work/out" 2>&1
  code=$?
  case $code in
    0) outcome=accepted ;;
    1) outcome=refused; [ -d "$work/rebuild/src" ] || outcome=early ;;
    *) outcome="exit $code" ;;
  esac
  if [ "$outcome" = "$expected" ] && grep -q -- "$pattern" "$work/out" && ! grep -q 'rebuild failed' "$work/out"; then
    echo "ok: $name"
  else
    echo "FAIL: $name: $outcome, expected $expected with \"$pattern\"; output:"
    sed 's/^/    /' "$work/out"
    status=1
  fi
}
row "an unlisted file" unsigned early "extra.bin in .* is not listed in SHA256SUMS" 'echo x >extra.bin'
row "a file replaced, the sums cut to BUILDINFO's" unsigned early "is not listed in SHA256SUMS" \
  'echo other >"$msi" && grep BUILDINFO SHA256SUMS >s && mv s SHA256SUMS'
row "a missing file" unsigned early "$msi is listed in SHA256SUMS but is not a regular file" 'rm "$msi"'
row "a link to /dev/zero" unsigned early "$msi is listed in SHA256SUMS but is not a regular file" \
  'rm "$msi" && ln -s /dev/zero "$msi"'
row "a named pipe" unsigned early "pipe in .* is not a regular file" 'mkfifo pipe'
row "a folder" unsigned early "sub in .* is not a regular file" 'mkdir sub'
row "a commit on no trusted ref" unsigned early "commit $stray is not reachable from" \
  "sed -i 's/^commit .*/commit $stray/' BUILDINFO && sums"
row "an extra listed file" unsigned refused "DIFFERS: extra.bin (the rebuild has no such file)" 'echo x >extra.bin && sums'
row "a changed file, its sum made again" unsigned refused "DIFFERS: Corvane-stand-in-win64.zip" \
  'printf x >>Corvane-stand-in-win64.zip && sums'
row "an unlisted name holding newlines" unsigned early "a name in .* holds a control character" \
  "touch \$'Corvane-x\\nBUILDINFO\\n-win64.zip'"
# Two listed archives, the first a link into the rebuild's clone, the second a package.sh for
# that link: unpacked over each other they would swap the rebuild for the release's own script.
payload="#!/bin/sh
touch '$work/payload-ran'; mkdir -p dist; cp '$work/dist/'* dist/; rm -f dist/SHA256SUMS"
row "archives that write through a link into the clone" unsigned refused \
  "DIFFERS: Corvane-0-win64.zip (the rebuild has no such file)" \
  'ln -s ../../src/scripts s && zip -q -y Corvane-0-win64.zip s && rm s && mkdir s &&
   printf "%s\n" "$payload" >s/package.sh && chmod +x s/package.sh && zip -q -r Corvane-z-win64.zip s &&
   rm -r s && sums'
if [ -e "$work/payload-ran" ]; then echo "FAIL: the release's own package.sh ran"; status=1; fi
row "the release as it is" unsigned accepted "the signers were not checked" :
row "a rerun over a planted build file" unsigned accepted "reproduced" 'mkdir -p ../rebuild/src/build/extra && echo x >../rebuild/src/build/extra/planted'
row "unsigned, where --signer asks for signatures" unsigned refused "not signed, where --signer" : --signer "$pki/ca.pem"
row "a signer whose issuer is not carried" signed accepted "signer of $msi: CN=Stand-in Signer, SHA-256 .*; UNTRUSTED" : \
  --signer "$pki/ca.pem"
row "a stranger's signature" stranger refused "not signed by .*ca.pem or a certificate it issued: $msi win64/Corvane.dll" : \
  --signer "$pki/ca.pem"
[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
