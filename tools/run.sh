#!/usr/bin/env bash
# Builds the editor and starts it under Wine; a file path may follow and is opened.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh"
: "${WINEPREFIX:=$HOME/.dravnetta-wine}"
export WINEPREFIX
. "$here/tools/wine-env.sh"
dravnetta_prefix
# The build runs its schema generator under Wine too: in the same prefix.
"$here/tools/build.sh" x86_64 Release "$here/build/run-x86_64"
# File > New lists the templates published in the prefix: published once, quietly, and again when the
# build made a different package (the old one is taken away first, by its product code).
templates="$here/build/run-x86_64/templates/DravnettaTemplates.msi"
published="$WINEPREFIX/dravnetta-templates.md5"
if [ -f "$templates" ]; then
  sum=$(md5sum <"$templates")
  if [ "$(cat "$published" 2>/dev/null)" != "$sum" ]; then
    if [ -f "$published" ]; then
      product=$(awk -F'\t' '$1 == "product" { print $3 }' "$here/tools/templates/Templates.publish")
      "$WINE64" msiexec /qn /x "{$product}" >/dev/null 2>&1 || true
    fi
    if "$WINE64" msiexec /qn /i "Z:${templates//\//\\}" >/dev/null 2>&1; then
      echo "$sum" >"$published"
    else
      echo "The templates could not be published: File > New lists none" >&2
    fi
  fi
fi
# On a display without a window manager (a bare Xvfb) Wine waits two seconds for one after every dialog
# or message box closes, with the main window left half drawn: there our windows are left to Wine alone.
if [ -n "${DISPLAY:-}" ] && command -v xprop >/dev/null; then
  managed=Y
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || managed=N
  "$WINE64" reg add 'HKCU\Software\Wine\AppDefaults\Dravnetta.exe\X11 Driver' /v Managed /d "$managed" /f \
    >/dev/null 2>&1 || true
fi
dravnetta_x_resources
args=()
for f in "$@"; do
  p=$(realpath -m "$f")
  args+=("Z:${p//\//\\}")
done
exec "$WINE64" "$here/build/run-x86_64/Dravnetta.exe" "${args[@]}"
