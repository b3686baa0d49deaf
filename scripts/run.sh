#!/usr/bin/env bash
# The main job: builds the native tree and runs a short session of the corvane tool on a fresh
# registry store: a settings key with text, DWORD and binary values written and read back, a
# setting enciphered and deciphered, a list split; then the key shown as a tree and the store
# checked.
#   scripts/run.sh [SESSION-FILE]     (default: scripts/demo_session.txt)
set -euo pipefail
. "$(dirname "$0")/usage.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" native
"$root/scripts/build.sh" native >/dev/null
tool="$root/build/native/cli/corvane"
store=$(mktemp -d)/registry.db
session=${1:-$root/scripts/demo_session.txt}
echo "== the session ($session) on the store $store"
"$tool" --store "$store" shell "$session"
echo
echo "== the key as a tree"
"$tool" --store "$store" reg show 'HKEY_CURRENT_USER\Software\Corvane Demo'
echo
echo "== the store checked"
"$tool" --store "$store" reg check
