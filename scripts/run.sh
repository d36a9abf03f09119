#!/usr/bin/env bash
# Installs what is missing, builds, and starts the driver. With no surface attached it
# plays a simulated one: type its commands ("press PLAY", "fader 1 64", "help") here.
# Without a display it runs headless and prints what happens on the terminal.
#   ./scripts/run.sh                 the simulated surface
#   ./scripts/run.sh --device PATH   a surface on this tty (any other orvo options too)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ORVO_ROOT"
orvo_install_packages
orvo_build build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF >/dev/null
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--simulate)
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || args+=(--headless)
exec build/run/src/app/orvo "${args[@]}"
