#!/usr/bin/env bash
# Builds the editor and starts it under Wine; a file path may follow and is opened.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh"
: "${WINEPREFIX:=$HOME/.dravnetta-wine}"
export WINEPREFIX
. "$here/tools/wine-env.sh"
# The build runs its schema generator under Wine too: in the same prefix.
"$here/tools/build.sh" x86_64 Release "$here/build/run-x86_64"
args=()
for f in "$@"; do
  p=$(realpath -m "$f")
  args+=("Z:${p//\//\\}")
done
exec "$WINE64" "$here/build/run-x86_64/Dravnetta.exe" "${args[@]}"
