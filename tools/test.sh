#!/usr/bin/env bash
# Builds both architectures and runs the x86_64 tests under Wine. The i686 program is built but not tested:
# the kernel of these machines runs no 32-bit code, so Wine's 32-bit part cannot start it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh"

# A throwaway prefix for this run, made once before the build (build-time tools run in it too).
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/dravnetta-test.XXXXXX")
export WINEPREFIX
. "$here/tools/wine-env.sh"
cleanup() { "$here/tools/wine-stop.sh" >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT
dravnetta_prefix

"$here/tools/build.sh" x86_64 Debug "$here/build/x86_64" -DDRAVNETTA_TESTS=ON -DDRAVNETTA_BENCH=ON
"$here/tools/build.sh" i686 Release "$here/build/i686" -DDRAVNETTA_HOST_BUILD="$here/build/x86_64"
cd "$here/build/x86_64"
dravnetta_x_resources bare
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)"
