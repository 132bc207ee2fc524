#!/usr/bin/env bash
# tools/screenshot.sh BUILD_DIR: photographs the main window for people to look at, in a Wine virtual
# desktop under Xvfb: the program as it starts (BUILD_DIR/screenshot-empty.png) and a frame with a
# document tab open, from the shell tests' screenshot scene (BUILD_DIR/screenshot-document.png).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:?build folder}")
. "$here/tools/wine-env.sh"
export DRAVNETTA_SETTINGS_KEY="Software\\Varnock\\DravnettaScreenshots"
export DRAVNETTA_SCREENSHOT_SECONDS=12
wine=$WINE64
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

# One picture: start the program in a desktop, wait, take the root window, end the desktop.
cat > "$shots/shoot.sh" <<'INNER'
#!/usr/bin/env bash
set -u
out=$1; shift
"$WINE" explorer /desktop=shot,1024x768 "$@" >/dev/null 2>&1 &
pid=$!
sleep 8
import -window root "$out"
kill "$pid" 2>/dev/null
wineserver -k 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$shots/shoot.sh"
export WINE=$wine
xvfb-run -a -s "-screen 0 1024x768x24" "$shots/shoot.sh" "$build/screenshot-empty.png" "$build/Dravnetta.exe"
if [ -x "$build/test_shell.exe" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" "$shots/shoot.sh" "$build/screenshot-document.png" \
    "$build/test_shell.exe" --gtest_also_run_disabled_tests --gtest_filter=ShellScreenshot.*
fi
ls -l "$build"/screenshot-*.png
