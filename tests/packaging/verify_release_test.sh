#!/usr/bin/env bash
# Hostile release folders, one row each, that verify-release.sh must refuse before it rebuilds
# anything (each under a timeout: nothing may hang):
#   verify_release_test.sh ROOT DIST
# ROOT is the checkout whose scripts/verify-release.sh is tried; DIST a release it made.
set -uo pipefail
root=$1
dist=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
msi=$(cd "$dist" && ls Corvane-*-x86.msi)

# A commit that no trusted ref reaches: the release's own tree, committed on no branch.
stray=$(git -C "$root" commit-tree -m "not on any branch" "$(git -C "$root" rev-parse 'HEAD^{tree}')")

# row NAME EXPECTED-REASON CHANGE: a copy of DIST, changed by the shell command CHANGE (run in
# the copy), must be refused with the reason.
row() {
  rm -rf "$work/dist" && cp -r "$dist" "$work/dist"
  (cd "$work/dist" && eval "$3")
  timeout 30 "$root/scripts/verify-release.sh" "$work/dist" --trust HEAD --work "$work/rebuild" >"$work/out" 2>&1
  code=$?
  if [ $code -eq 1 ] && grep -q "REFUSED: .*$2" "$work/out" && [ ! -d "$work/rebuild/src" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: exit $code, expected a refusal ($2) before any rebuild; output:"
    sed 's/^/    /' "$work/out"
    status=1
  fi
}
sums() { find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS; }

row "an unlisted file" "extra.bin in .* is not listed in SHA256SUMS" 'echo x >extra.bin'
row "a file replaced, the sums cut to BUILDINFO's" "is not listed in SHA256SUMS" \
  'echo other >"$msi" && grep BUILDINFO SHA256SUMS >s && mv s SHA256SUMS'
row "a missing file" "$msi is listed in SHA256SUMS but is not a regular file" 'rm "$msi"'
row "a link to /dev/zero" "$msi is listed in SHA256SUMS but is not a regular file" \
  'rm "$msi" && ln -s /dev/zero "$msi"'
row "a named pipe" "pipe in .* is not a regular file" 'mkfifo pipe'
row "a folder" "sub in .* is not a regular file" 'mkdir sub'
row "a commit on no trusted ref" "commit $stray is not reachable from" \
  "sed -i 's/^commit .*/commit $stray/' BUILDINFO && sums"
[ $status -eq 0 ] && echo "ALL PASSED"
exit $status
