# The services the integration tests use: an X server with a window manager, and a JACK
# server on a dummy audio driver. Sourced by test.sh; stopped again on exit.
#   orvo_start_services   exports DISPLAY and JACK_DEFAULT_SERVER for the tests
#   orvo_stop_services

ORVO_SERVICE_PIDS=()

orvo_start_services() {
  local display=":$((90 + RANDOM % 400))"
  local log_dir="$ORVO_ROOT/build/services"
  mkdir -p "$log_dir"
  if command -v Xvfb >/dev/null; then
    Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >"$log_dir/xvfb.log" 2>&1 &
    ORVO_SERVICE_PIDS+=($!)
    for _ in $(seq 100); do
      DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
    export DISPLAY=$display
    if command -v openbox >/dev/null; then
      openbox >"$log_dir/openbox.log" 2>&1 &
      ORVO_SERVICE_PIDS+=($!)
    fi
    orvo_say "X server on $DISPLAY"
  fi
  if command -v jackd >/dev/null; then
    export JACK_DEFAULT_SERVER="orvo-test-$$"
    export JACK_NO_AUDIO_RESERVATION=1
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 128 >"$log_dir/jackd.log" 2>&1 &
    ORVO_SERVICE_PIDS+=($!)
    sleep 1
    orvo_say "JACK server $JACK_DEFAULT_SERVER"
  fi
}

orvo_stop_services() {
  local pid
  for pid in "${ORVO_SERVICE_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  # jackd takes a moment to let go of its server; wait for every service to end.
  for pid in "${ORVO_SERVICE_PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  ORVO_SERVICE_PIDS=()
}
