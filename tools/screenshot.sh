#!/usr/bin/env bash
# tools/screenshot.sh BUILD_DIR: photographs the main window for people to look at, in a Wine virtual
# desktop under Xvfb: the program as it starts (BUILD_DIR/screenshot-empty.png), the program with a copy of
# a shared test package on its command line (BUILD_DIR/screenshot-package.png, when ../shared/testdata is
# there) and a frame with a document tab open, from the shell tests' screenshot scene
# (BUILD_DIR/screenshot-document.png).
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
# A fresh prefix is set up by its first start, which shows "configuration is being updated" instead of the
# program (and an existing prefix may need an update): prepare it first and wait until every Wine process
# of it has ended. On a prefix that is ready this takes a moment.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$WINE" wineboot --init >/dev/null 2>&1; wineserver -w'
xvfb-run -a -s "-screen 0 1024x768x24" "$shots/shoot.sh" "$build/screenshot-empty.png" "$build/Dravnetta.exe"
package="$here/../shared/testdata/shortcuts.msi"
if [ -f "$package" ]; then
  cp "$package" "$shots/Setup.msi"
  chmod u+w "$shots/Setup.msi"
  copy=$(realpath "$shots/Setup.msi")
  xvfb-run -a -s "-screen 0 1024x768x24" "$shots/shoot.sh" "$build/screenshot-package.png" \
    "$build/Dravnetta.exe" "Z:${copy//\//\\}"
fi
if [ -x "$build/test_shell.exe" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" "$shots/shoot.sh" "$build/screenshot-document.png" \
    "$build/test_shell.exe" --gtest_also_run_disabled_tests --gtest_filter=ShellScreenshot.*
fi
ls -l "$build"/screenshot-*.png
