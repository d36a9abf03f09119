# The services the integration tests use: an X server with a window manager, a JACK
# server on a dummy audio driver, a headless Wayland compositor (sway, which will not run
# as root: it runs as the unprivileged user nobody, in a runtime directory of its own);
# and, for a second run of the JACK tests, a private PipeWire whose JACK library stands in
# for the JACK server. Sourced by test.sh; stopped again on exit.
#   orvo_start_services   exports DISPLAY and JACK_DEFAULT_SERVER for the tests, and for
#                         the Wayland tests ORVO_TEST_WAYLAND_DISPLAY, ORVO_TEST_SWAYSOCK and
#                         ORVO_TEST_WAYLAND_RUNTIME_DIR (not WAYLAND_DISPLAY itself: the
#                         Qt tests stay on X11 or offscreen); ORVO_TEST_XWAYLAND_DISPLAY too
#                         when sway runs XWayland
#                         For the KDE Plasma and GNOME cases a headless KWin and a
#                         headless GNOME Shell (only when ORVO_TEST_DESKTOPS=1: the plain
#                         build's run), each on a private session bus: ORVO_TEST_KWIN_* and
#                         ORVO_TEST_GNOME_* (DISPLAY, RUNTIME_DIR, BUS)
#   orvo_start_pipewire   exports ORVO_PIPEWIRE_RUNTIME: run a command there with
#                         PIPEWIRE_RUNTIME_DIR="$ORVO_PIPEWIRE_RUNTIME" pw-jack COMMAND
#   orvo_stop_services    stops them all

ORVO_SERVICE_PIDS=()
ORVO_PIPEWIRE_DIRS=()

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
  orvo_start_sway "$log_dir"
  if [ "${ORVO_TEST_DESKTOPS:-0}" = 1 ]; then
    orvo_start_kwin "$log_dir"
    orvo_start_gnome "$log_dir"
  fi
}

ORVO_DESKTOP_DIRS=()
ORVO_DESKTOP_PIDS=()

# A runtime directory of USER's own (0700), with a private session bus that the tests
# (root) may use too, in ORVO_DESKTOP_RUNTIME.
orvo_desktop_runtime() {
  local user=$1 runtime
  runtime=$(mktemp -d /tmp/orvo-desktop-XXXXXX) || return 1
  ORVO_DESKTOP_RUNTIME=$runtime
  ORVO_DESKTOP_DIRS+=("$runtime")
  cat >"$runtime/bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default"><allow user="*"/></policy>
</busconfig>
CONF
  mkdir -p "$runtime/data/applications" "$runtime/config" "$runtime/cache"
  chown -R "$user:$user" "$runtime" && chmod 0700 "$runtime" || return 1
  local pid
  pid=$(setpriv --reuid=$user --regid=$user --clear-groups dbus-daemon --config-file="$runtime/bus.conf" \
    --address="unix:path=$runtime/bus" --fork --print-pid) || return 1
  ORVO_SERVICE_PIDS+=("$pid")
  ORVO_DESKTOP_PIDS+=("$pid")
}

# KWin from a copy of its binary (the packaged one carries a file capability these
# machines cannot grant), on a socket of a chosen name. It runs as the tests' user: KWin
# finds a client's desktop file by the client's executable, which it must be allowed to
# read. The driver of each build tree is granted fake input and the window list by a
# desktop file of KWin's data directory, as an installed one would be.
orvo_start_kwin() {
  local log_dir=$1 user runtime name
  user=$(id -u)
  command -v kwin_wayland >/dev/null && command -v dbus-daemon >/dev/null && command -v setpriv >/dev/null || return 0
  orvo_desktop_runtime "$user" || { orvo_say "no runtime for KWin: the KDE Plasma tests skip"; return 0; }
  runtime=$ORVO_DESKTOP_RUNTIME
  name="orvo-kwin-$$"
  cp /usr/bin/kwin_wayland "$runtime/kwin_wayland"
  local build
  for build in test asan tsan; do
    printf '[Desktop Entry]\nType=Application\nName=Orvo %s\nNoDisplay=true\nExec=%s\n%s\n' "$build" \
      "$ORVO_ROOT/build/$build/src/app/orvo" \
      "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management" \
      >"$runtime/data/applications/orvo-$build.desktop"
  done
  chown -R "$user:$user" "$runtime"
  env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" XDG_DATA_HOME="$runtime/data" \
    XDG_CONFIG_HOME="$runtime/config" XDG_CACHE_HOME="$runtime/cache" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" \
    "$runtime/kwin_wayland" --virtual --no-lockscreen \
    --no-global-shortcuts --socket "$name" --width 1280 --height 720 >"$log_dir/kwin.log" 2>&1 &
  ORVO_SERVICE_PIDS+=($!)
  ORVO_DESKTOP_PIDS+=($!)
  local pid=$!
  for _ in $(seq 150); do
    [ -S "$runtime/$name" ] && DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" \
      gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.isScriptLoaded x >/dev/null 2>&1 && {
      export ORVO_TEST_KWIN_DISPLAY=$name ORVO_TEST_KWIN_RUNTIME_DIR=$runtime ORVO_TEST_KWIN_BUS="unix:path=$runtime/bus"
      orvo_say "KWin on $name (process $pid)"
      return 0
    }
    sleep 0.1
  done
  orvo_say "KWin did not start (see $log_dir/kwin.log): the KDE Plasma tests skip"
}

# GNOME Shell as the unprivileged user, with a private system bus beside the session bus,
# our focus extension installed and enabled (settings in a key file), out of the overview
# it starts in.
orvo_start_gnome() {
  local log_dir=$1 user=65534 runtime name
  command -v gnome-shell >/dev/null && command -v gdbus >/dev/null && command -v setpriv >/dev/null || return 0
  orvo_desktop_runtime "$user" || { orvo_say "no runtime for GNOME Shell: the GNOME tests skip"; return 0; }
  runtime=$ORVO_DESKTOP_RUNTIME
  name="orvo-gnome-$$"
  # Ours, and the tests' own that moves the focus to a window of a given process.
  local extension=focused-window@orvo.org control=focus-control@orvo.test
  mkdir -p "$runtime/data/gnome-shell/extensions" "$runtime/config/glib-2.0/settings"
  cp -r "$ORVO_ROOT/src/resources/gnome-shell-extension/$extension" "$ORVO_ROOT/harness/$control" \
    "$runtime/data/gnome-shell/extensions/"
  printf "[org/gnome/shell]\nenabled-extensions=['%s', '%s']\n" "$extension" "$control" \
    >"$runtime/config/glib-2.0/settings/keyfile"
  chown -R "$user:$user" "$runtime"
  local pid
  pid=$(setpriv --reuid=$user --regid=$user --clear-groups dbus-daemon --config-file=/usr/share/dbus-1/session.conf \
    --address="unix:path=$runtime/sysbus" --fork --print-pid) && ORVO_SERVICE_PIDS+=("$pid") && ORVO_DESKTOP_PIDS+=("$pid")
  env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" XDG_DATA_HOME="$runtime/data" \
    XDG_CONFIG_HOME="$runtime/config" XDG_CACHE_HOME="$runtime/cache" GSETTINGS_BACKEND=keyfile \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime/sysbus" \
    setpriv --reuid=$user --regid=$user --clear-groups gnome-shell --headless --wayland --no-x11 \
    --wayland-display "$name" --virtual-monitor 1280x720 >"$log_dir/gnome-shell.log" 2>&1 &
  ORVO_SERVICE_PIDS+=($!)
  ORVO_DESKTOP_PIDS+=($!)
  pid=$!
  for _ in $(seq 300); do
    [ -S "$runtime/$name" ] && DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" \
      gdbus call --session -d org.orvo.FocusedWindow -o /org/orvo/FocusedWindow -m org.orvo.FocusedWindow.Get \
      >/dev/null 2>&1 && {
      DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
        -m org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null
      export ORVO_TEST_GNOME_DISPLAY=$name ORVO_TEST_GNOME_RUNTIME_DIR=$runtime ORVO_TEST_GNOME_BUS="unix:path=$runtime/bus"
      orvo_say "GNOME Shell on $name (process $pid)"
      return 0
    }
    sleep 0.1
  done
  orvo_say "GNOME Shell did not start (see $log_dir/gnome-shell.log): the GNOME tests skip"
}

orvo_start_sway() {
  local log_dir=$1 user=65534 runtime config
  command -v sway >/dev/null && command -v setpriv >/dev/null || return 0
  runtime=$(mktemp -d /tmp/orvo-wayland-XXXXXX)
  ORVO_SWAY_RUNTIME=$runtime  # removed by orvo_stop_services
  chown "$user:$user" "$runtime" 2>/dev/null || { rmdir "$runtime"; return 0; }
  chmod 0700 "$runtime"
  config=$runtime/config
  printf '%s\n' 'output HEADLESS-1 resolution 1024x768' 'xwayland force' 'default_border none' >"$config"
  chown "$user:$user" "$config"
  env -i PATH="$PATH" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman setpriv --reuid=$user --regid=$user --clear-groups sway -V -c "$config" \
    >"$log_dir/sway.log" 2>&1 &
  ORVO_SERVICE_PIDS+=($!)
  local pid=$! display="" socket=""
  for _ in $(seq 100); do
    display=$(sed -n "s/.*Running compositor on wayland display '\([^']*\)'.*/\1/p" "$log_dir/sway.log" | head -1)
    socket=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -1 || true)
    [ -n "$display" ] && [ -n "$socket" ] && break
    sleep 0.1
  done
  if [ -z "$display" ] || [ -z "$socket" ]; then
    orvo_say "sway did not start (see $log_dir/sway.log): the Wayland tests skip"
    return 0
  fi
  export ORVO_TEST_WAYLAND_DISPLAY=$display ORVO_TEST_SWAYSOCK=$socket ORVO_TEST_WAYLAND_RUNTIME_DIR=$runtime
  orvo_say "Wayland compositor on $display (process $pid)"
  # XWayland, when Xwayland is installed: sway names its display before it is up, and
  # holds the clients that connect early until it is.
  local x11
  x11=$(sed -n 's/.*Starting Xwayland on \(:[0-9]*\).*/\1/p' "$log_dir/sway.log" | head -1)
  [ -n "$x11" ] || return 0
  export ORVO_TEST_XWAYLAND_DISPLAY=$x11
  orvo_say "XWayland on $x11"
}

# PipeWire without session manager or D-Bus, in a runtime directory of its own; its
# dummy driver runs the graph at 48 kHz, 64 frames a period. Fails when it is not there.
orvo_start_pipewire() {
  command -v pipewire >/dev/null && command -v pw-jack >/dev/null || return 1
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/orvo-pipewire.XXXXXX") || return 1
  chmod 700 "$dir"
  mkdir -p "$dir/config/pipewire/pipewire.conf.d"
  cat >"$dir/config/pipewire/pipewire.conf.d/orvo-tests.conf" <<'CONF'
context.properties = {
  support.dbus = false
  default.clock.rate = 48000
  default.clock.quantum = 64
  default.clock.min-quantum = 64
  default.clock.max-quantum = 64
}
CONF
  PIPEWIRE_RUNTIME_DIR=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir/config \
    setsid pipewire >"$ORVO_ROOT/build/services/pipewire.log" 2>&1 &
  ORVO_SERVICE_PIDS+=($!)
  ORVO_PIPEWIRE_DIRS+=("$dir")
  export ORVO_PIPEWIRE_RUNTIME=$dir
  for _ in $(seq 100); do
    PIPEWIRE_RUNTIME_DIR=$dir timeout 5 pw-jack jack_lsp >/dev/null 2>&1 && {
      orvo_say "PipeWire in $dir"
      return 0
    }
    sleep 0.05
  done
  orvo_say "PipeWire did not start; see build/services/pipewire.log"
  return 1
}

# Stops KWin and GNOME Shell (and their buses) once the plain build's tests are done.
orvo_stop_desktops() {
  local pid
  for pid in "${ORVO_DESKTOP_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  ORVO_DESKTOP_PIDS=()
  unset ORVO_TEST_KWIN_DISPLAY ORVO_TEST_KWIN_RUNTIME_DIR ORVO_TEST_KWIN_BUS
  unset ORVO_TEST_GNOME_DISPLAY ORVO_TEST_GNOME_RUNTIME_DIR ORVO_TEST_GNOME_BUS
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
  if [ -n "${ORVO_SWAY_RUNTIME:-}" ]; then rm -rf "$ORVO_SWAY_RUNTIME"; fi
  local dir
  for dir in "${ORVO_DESKTOP_DIRS[@]}"; do rm -rf "$dir"; done
  ORVO_DESKTOP_DIRS=()
  for dir in "${ORVO_PIPEWIRE_DIRS[@]}"; do rm -rf "$dir"; done
  ORVO_PIPEWIRE_DIRS=()
}
