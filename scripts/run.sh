#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: a recorded session of the surface
# read through the driver's reader, one line per control event.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ORVO_ROOT"
orvo_install_packages
orvo_build build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF >/dev/null
exec build/run/tools/orvo-reader-demo "${@:-tools/recordings/demo.hex}"
