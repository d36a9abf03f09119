#!/bin/sh
# Runs a Windows test program under Wine with COM5 and COM6 joined back to back: each is
# a pseudo-terminal, and socat joins their far ends, so what one port writes the other
# reads. WINEPREFIX names the Wine prefix.
#   wine_com_pair.sh PROGRAM [ARGUMENTS...]
set -eu
dir=$(mktemp -d)
socat "pty,link=$dir/com5,raw,echo=0" "pty,link=$dir/com6,raw,echo=0" &
socat_pid=$!
cleanup() {
  kill "$socat_pid" 2>/dev/null || true
  wait "$socat_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com5" "$WINEPREFIX/dosdevices/com6"
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "$dir/com5" ] && [ -e "$dir/com6" ] && break
  sleep 0.05
done
ln -sfn "$dir/com5" "$WINEPREFIX/dosdevices/com5"
ln -sfn "$dir/com6" "$WINEPREFIX/dosdevices/com6"
ORVO_TEST_COM_PORT=COM5 ORVO_TEST_COM_PEER=COM6 wine "$@"
