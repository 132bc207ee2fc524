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
