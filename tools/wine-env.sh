# Sourced: a Wine prefix of our own, quiet, with no crash debugger popping up under Xvfb.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/dravnetta-wine-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winedbg.exe=d}"
export WINE64=/usr/lib/wine/wine64
# Makes the prefix when it is missing, away from the display (where Wine shows its own progress window),
# and lets its server go so that the next program starts with the display.
dravnetta_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  env -u DISPLAY "$WINE64" wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
}
# On a display that holds no X resources (a bare Xvfb) Xlib looks for resource files again at every
# lookup, and Wine looks one up whenever it sets a font for text: a tree of 100,000 items spent 0.7 s on
# it. A desktop keeps its resources on the display; here Xlib gets a file of them, which it reads once.
dravnetta_x_resources() {
  [ -z "${XENVIRONMENT:-}" ] || return 0
  if [ "${1:-}" != bare ] && [ -n "${DISPLAY:-}" ] && command -v xprop >/dev/null &&
    xprop -root RESOURCE_MANAGER 2>/dev/null | grep -q '='; then
    return 0
  fi
  XENVIRONMENT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/x-resources"
  export XENVIRONMENT
}
