# The steps that every release folder shares, sourced by scripts/package.sh (which sets root):
# signing each file as it goes into a package, or attaching a kept signature in its place, and
# the folder's BUILDINFO and SHA256SUMS.
#
# Signing: with CORVANE_SIGN_CERT (a PEM certificate file, chain allowed) and CORVANE_SIGN_KEY (the
# path of its PEM private key file, never the key itself; CORVANE_SIGN_KEY_PASSFILE names a file
# holding the key's pass phrase), sign signs with osslsigncode (SHA-256, described as "Corvane"),
# timestamped at CORVANE_SIGN_TIMESTAMP_URL when that is set. With CORVANE_SIGN_ATTACH=DIR, it
# attaches the signature kept in DIR (<tree>/<file>.sig, <installer>.sig, as verify-release.sh
# extracts them) instead.
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
      # osslsigncode attaches the signature, then checks its chain and fails where the chain
      # cannot reach a root this machine trusts (an issuer the signature does not carry). The
      # file it wrote is still the rebuilt file with the signature attached; whether the signer
      # is trusted is verify-release.sh's question, not the build's.
      local sig=$CORVANE_SIGN_ATTACH/$name.sig
      [ -f "$sig" ] || return 0
      rm -f "$signed"
      osslsigncode attach-signature -sigin "$sig" -in "$file" -out "$signed" >"$signed.log" 2>&1 ||
        [ -s "$signed" ] || { cat "$signed.log" >&2; false; } ;;
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

# finish OUT: BUILDINFO and SHA256SUMS of OUT.
finish() {
  local out=$1 commit tree=clean
  commit=$(git -C "$root" rev-parse HEAD)
  [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] || tree=modified
  printf 'commit %s\nsource-date-epoch %s\ntree %s\n' "$commit" "$SOURCE_DATE_EPOCH" "$tree" >"$out/BUILDINFO"
  (cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
     xargs sha256sum >SHA256SUMS)
}

