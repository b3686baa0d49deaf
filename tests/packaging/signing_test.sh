#!/usr/bin/env bash
# A signed release, end to end, with a throwaway certificate authority. Usage:
#   signing_test.sh ROOT OUT REBUILD
# ROOT is the checkout with its Windows trees built; the signed release is made in OUT/dist;
# REBUILD is verify-release.sh's work folder (a rebuild left there is reused).
#   - package.sh signs with a code-signing certificate (its chain attached) of a new authority,
#     whose key is protected by a pass phrase; neither the key nor the pass phrase is ever on a
#     command line or in the output, and a key given as text instead of a path is refused;
#   - every PE file in the archives and both installers verify against that authority, and the
#     installers hold the very PE files the archives do;
#   - a copy of a signed file with one byte changed fails;
#   - verify-release.sh rebuilds the signed release in another umask and time zone, its trees'
#     release and debug files included, accepts it as signed by the authority, and refuses it
#     once one file is changed.
# The signed release under Wine is windows_test.sh's, given OUT/dist.
set -uo pipefail
root=$1
out=$2
rebuild=$3
pki=$out/pki
status=0
fail() { echo "FAIL: $*"; status=1; }
rm -rf "$out" && mkdir -p "$pki" "$out/unpacked"

# The authority and the signer.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Corvane Test Authority" \
  -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$pki/ca.key" -out "$pki/ca.pem" 2>/dev/null || fail "the authority"
(umask 077 && openssl rand -hex 16 >"$pki/pass")
openssl req -newkey rsa:2048 -passout "file:$pki/pass" -subj "/CN=Corvane Test Signer" \
  -keyout "$pki/signer.key" -out "$pki/signer.csr" 2>/dev/null &&
  printf 'basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$pki/ext" &&
  openssl x509 -req -in "$pki/signer.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
    -days 30 -extfile "$pki/ext" -out "$pki/signer.pem" 2>/dev/null || fail "the signer's certificate"
cat "$pki/signer.pem" "$pki/ca.pem" >"$pki/chain.pem"

# osslsigncode as package.sh runs it, each command line kept.
mkdir -p "$out/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec %s "$@"\n' "$out/commands" "$(command -v osslsigncode)" \
  >"$out/bin/osslsigncode"
chmod 755 "$out/bin/osslsigncode"
CORVANE_SIGN_CERT=$pki/chain.pem CORVANE_SIGN_KEY=$(cat "$pki/signer.key") CORVANE_PACKAGE_DIST=$out/pasted \
  "$root/scripts/package.sh" windows-release >"$out/pasted.log" 2>&1 && fail "a key given as its text is taken"
grep -q 'CORVANE_SIGN_KEY must be the path of a readable file' "$out/pasted.log" ||
  { cat "$out/pasted.log"; fail "a key given as its text is not refused with a reason"; }
PATH=$out/bin:$PATH CORVANE_SIGN_CERT=$pki/chain.pem CORVANE_SIGN_KEY=$pki/signer.key \
  CORVANE_SIGN_KEY_PASSFILE=$pki/pass CORVANE_PACKAGE_DIST=$out/dist \
  "$root/scripts/package.sh" windows-release >"$out/package.log" 2>&1 ||
  { cat "$out/package.log"; echo "FAIL: signed packaging"; exit 1; }
[ "$(grep -c -- ' -key ' "$out/commands")" -ge 4 ] || fail "osslsigncode was not run to sign"
for log in "$out/commands" "$out/package.log" "$out/pasted.log"; do
  grep -q -e 'PRIVATE KEY' -e "$(cat "$pki/pass")" -e "$(sed -n 2p "$pki/signer.key")" "$log" &&
    fail "key material in $(basename "$log")"
done

verifies() { osslsigncode verify -CAfile "$pki/ca.pem" -in "$1" >"$out/verify.log" 2>&1; }
signed=()
for zip in "$out"/dist/Corvane-*-win*.zip; do
  unzip -q -o "$zip" -d "$out/unpacked" || fail "unzip $zip"
done
while IFS= read -r file; do signed+=("$file"); done < <(find "$out/unpacked" -name '*.dll' -o -name '*.exe' | sort)
signed+=("$out"/dist/Corvane-*.msi)
[ ${#signed[@]} -eq 6 ] || fail "${#signed[@]} files to check, not 6"
for file in "${signed[@]}"; do
  verifies "$file" || { cat "$out/verify.log"; fail "not signed by the authority: $file"; }
done
msiextract -C "$out/msi64" "$(ls "$out"/dist/Corvane-*-x64.msi)" >/dev/null || fail "msiextract"
held=0
while IFS= read -r dll; do
  held=$((held + 1))
  find "$out/unpacked" -name Corvane.dll -exec cmp -s "$dll" {} \; -print | grep -q . ||
    fail "the x64 package holds a DLL that is not a signed one: $dll"
done < <(find "$out/msi64" -name Corvane.dll)
[ $held -eq 2 ] || fail "the x64 package holds $held DLLs, not 2"

# One byte changed, in the code of a DLL and in the middle of an installer.
for file in "$(find "$out/unpacked" -path '*win64*' -name Corvane.dll)" "$(ls "$out"/dist/Corvane-*-x86.msi)"; do
  copy=$out/changed-$(basename "$file")
  cp "$file" "$copy"
  offset=$(( $(stat -c %s "$copy") / 2 ))
  printf '\x5a' | dd of="$copy" bs=1 seek=$offset conv=notrunc status=none
  cmp -s "$file" "$copy" && printf '\xa5' | dd of="$copy" bs=1 seek=$offset conv=notrunc status=none
  ! verifies "$copy" || fail "$(basename "$file") with one byte changed still verifies"
done

# The release rebuilt with its signatures attached.
if ! grep -q '^tree clean$' "$out/dist/BUILDINFO"; then
  echo "skipped: verify-release of the signed release, as this tree has uncommitted changes"
  [ $status -eq 0 ] && exit 77
  exit $status
fi
(umask 077 && TZ=Pacific/Chatham "$root/scripts/verify-release.sh" "$out/dist" --trust HEAD --work "$rebuild" \
   --signer "$pki/ca.pem" --trees "$root") >"$out/release.log" 2>&1 ||
  { cat "$out/release.log"; fail "verify-release refuses the signed release"; }
grep -q '^signer of win64/corvane.exe: CN=Corvane Test Signer, SHA-256 ' "$out/release.log" ||
  { cat "$out/release.log"; fail "verify-release does not name the signer"; }
cp -r "$out/dist" "$out/tampered"
printf 'x' >>"$(ls "$out"/tampered/Corvane-*-win64.zip)"
"$root/scripts/verify-release.sh" "$out/tampered" --trust HEAD --work "$rebuild" >"$out/tampered.log" 2>&1 &&
  fail "verify-release accepts a changed file"
grep -q 'a file differs from SHA256SUMS' "$out/tampered.log" || { cat "$out/tampered.log"; fail "the changed file was not found by its sum"; }

[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
