#!/bin/sh
# Makes the Wine prefix WINEPREFIX once, and keeps its Wine server and system programs up
# while the tests run one after another, with an idle program of Wine's own in the
# background: each test program then starts in a fraction of a second instead of two or
# three. `wine_prefix.sh stop` ends them all. The server's own output (it lists its
# objects at exit) goes to wineserver.log beside the prefix.
set -eu
if [ "${1:-}" = stop ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi
mkdir -p "$WINEPREFIX"
log="$(dirname "$WINEPREFIX")/wineserver.log"
wineserver -p10 >/dev/null 2>>"$log" || true  # already running: kept
if [ ! -f "$WINEPREFIX/.made" ]; then
  # Wine's system programs, started here, outlive this script: they must not hold the
  # test runner's output open, or it waits for them until its time-out.
  wineboot -i </dev/null >>"$log" 2>&1
  touch "$WINEPREFIX/.made"
fi
# The desktop's program, which Wine starts for the first program that asks for the desktop
# window and which then stays: asked for here, so that it holds the log and not the output
# of the first test that makes a window.
wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >>"$log" 2>&1 || true
wine ping -n 86400 127.0.0.1 </dev/null >/dev/null 2>&1 &
