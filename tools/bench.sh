#!/usr/bin/env bash
# tools/bench.sh [scratch folder]: builds the benchmarks with the program's release flags and runs each
# under Wine; every figure is a line "rows=N name=value unit". Two build jobs unless JOBS says otherwise.
# The views are measured at 10,000 and 100,000 items, to show how their cost grows.
# The window benchmarks draw: without a display the whole run goes under a virtual one.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
"$here/tools/setup.sh"
: "${WINEPREFIX:=$HOME/.dravnetta-wine}"
export WINEPREFIX
. "$here/tools/wine-env.sh"
dravnetta_prefix
dir="$here/build/bench-x86_64"
cmake -S "$here" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DDRAVNETTA_BENCH=ON >/dev/null
# As for the program (tools/run.sh): without a window manager Wine waits two seconds for one after every
# dialog closes, which no user with a desktop waits.
managed=Y
if command -v xprop >/dev/null; then
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || managed=N
fi
dravnetta_x_resources
scratch=$(realpath -m "${1:-${TMPDIR:-/tmp}/dravnetta-bench}")
mkdir -p "$scratch"
for src in "$here"/bench/*.cpp; do
  name=bench_$(basename "$src" .cpp)
  cmake --build "$dir" -j "${JOBS:-2}" --target "$name"
  "$WINE64" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name.exe\\X11 Driver" /v Managed /d "$managed" /f \
    >/dev/null 2>&1 || true
  sizes=()
  if [ "$name" = bench_ViewsBench ]; then sizes=(10000 100000); fi
  "$WINE64" "$dir/$name.exe" "Z:${scratch//\//\\}" "${sizes[@]}"
done
