#!/bin/sh
# Makes the Wine prefix WINEPREFIX once, and starts its Wine server so that it stays while
# the tests run one after another: each program then starts in a fraction of a second
# instead of a few. The server's own output (it lists its objects at exit) goes to
# wineserver.log beside the prefix.
set -eu
mkdir -p "$WINEPREFIX"
wineserver -p10 2>>"$(dirname "$WINEPREFIX")/wineserver.log"
if [ ! -f "$WINEPREFIX/.made" ]; then
  wineboot -i
  touch "$WINEPREFIX/.made"
fi
