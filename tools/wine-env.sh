# Sourced: a Wine prefix of our own, quiet, with no crash debugger popping up under Xvfb.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/dravnetta-wine-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winedbg.exe=d}"
export WINE64=/usr/lib/wine/wine64
