#!/usr/bin/env bash
# The main job: builds the native tree and enciphers TEXT under PASSPHRASE, shows the cipher
# text and the key written back, and deciphers it again.
#   scripts/run.sh [TEXT [PASSPHRASE]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" native
"$root/scripts/build.sh" native >/dev/null
exec "$root/build/native/cli/corvane-cipher" "${1-Meet me at noon}" "${2-a pass phrase}"
