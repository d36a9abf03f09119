#!/usr/bin/env bash
# Installs what is missing, builds, and starts the driver. With no arguments it plays a
# simulated surface from the example settings: type its commands ("press PLAY", "fader 1
# 64", "help") here. Without a display it runs headless and prints what happens here.
#   ./scripts/run.sh                 the simulated surface, on a copy of examples/settings
#   ./scripts/run.sh --device PATH   a surface on this tty, your own settings (any orvo option)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ORVO_ROOT"
orvo_install_packages
orvo_build build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# The simulated run's MIDI: the JACK server that runs, else a private one on a dummy
# driver for this run; and a MIDI monitor on the port the example's DEFAULT sends to.
start_midi() {
  if ! JACK_NO_START_SERVER=1 timeout 5 jack_lsp >/dev/null 2>&1; then
    export JACK_DEFAULT_SERVER="orvo-run-$$"
    export JACK_NO_AUDIO_RESERVATION=1
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >build/run/jackd.log 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do
      JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1 && break
      sleep 0.1
    done
    orvo_say "no MIDI system was running: started a private JACK server for this run ($JACK_DEFAULT_SERVER)"
  fi
  JACK_NO_START_SERVER=1 stdbuf -oL jack_midi_dump >build/run/midi-monitor.log 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    JACK_NO_START_SERVER=1 jack_lsp 2>/dev/null | grep -q '^midi-monitor:input$' && return 0
    sleep 0.1
  done
  orvo_say "the MIDI monitor did not start; see build/run/midi-monitor.log"
}

args=("$@")
if [ ${#args[@]} -eq 0 ]; then
  settings=build/run/example-settings
  rm -rf "$settings"
  cp -r examples/settings "$settings"
  orvo_say "settings: a copy of examples/settings in $settings (yours are not touched)"
  start_midi
  orvo_say "what the driver sends on MIDI: tail -f build/run/midi-monitor.log"
  args=(--simulate --settings-dir "$settings")
fi
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || args+=(--headless)
status=0
build/run/src/app/orvo "${args[@]}" || status=$?
exit "$status"
