#!/bin/sh
# Ends the Wine server of the current prefix.
. "$(dirname "$0")/wine-env.sh"
/usr/lib/wine/wineserver -k 2>/dev/null || /usr/lib/wine/wineserver64 -k 2>/dev/null || true
