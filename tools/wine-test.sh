#!/bin/sh
# Runs one Windows program under Wine, bounded in time so a stuck modal dialog cannot hang a run.
. "$(dirname "$0")/wine-env.sh"
# Settings of test programs go to a scratch key, never the user's own.
export DRAVNETTA_SETTINGS_KEY="${DRAVNETTA_SETTINGS_KEY:-Software\\Varnock\\DravnettaTests}"
exec timeout -k 10 "${DRAVNETTA_TEST_TIMEOUT:-600}" "$WINE64" "$@"
