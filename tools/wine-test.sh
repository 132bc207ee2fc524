#!/bin/sh
# Runs one Windows program under Wine, bounded in time so a stuck modal dialog cannot hang a run.
. "$(dirname "$0")/wine-env.sh"
# Settings of test programs go to a scratch key, never the user's own.
export DRAVNETTA_SETTINGS_KEY="${DRAVNETTA_SETTINGS_KEY:-Software\\Varnock\\DravnettaTests}"
# Wine's services and desktop, when this program starts them, inherit its output and outlive it: through a
# pipe, the caller would wait for them to end. Through a file it waits only for the program.
out=$(mktemp "${TMPDIR:-/tmp}/wine-test.XXXXXX")
timeout -k 10 "${DRAVNETTA_TEST_TIMEOUT:-900}" "$WINE64" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
