# Shared by the set-up scripts: installs what is missing, configures and builds.
# Sourced, not run.

ORVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

orvo_say() { printf '== %s\n' "$*"; }

# orvo_install_packages [LIST...]: installs the packages of these lists (default
# scripts/debian-packages.txt) that are not installed yet, in one apt-get run.
orvo_install_packages() {
  local lists=("$@") wanted installed missing=()
  [ ${#lists[@]} -gt 0 ] || lists=("$ORVO_ROOT/scripts/debian-packages.txt")
  wanted=$(cat "${lists[@]}" | grep -v -E '^\s*(#|$)')
  installed=" $(dpkg-query -W -f='${Package}:${db:Status-Status} ' $wanted 2>/dev/null || true) "
  for pkg in $wanted; do
    [[ $installed == *" $pkg:installed "* ]] || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  orvo_say "installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q || return 1
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# A number of seconds as "3 min 12 s".
orvo_duration() {
  if [ "$1" -ge 60 ]; then printf '%d min %d s' $(($1 / 60)) $(($1 % 60)); else printf '%d s' "$1"; fi
}

# orvo_build DIR [cmake options...]: configures (once) and builds the tree in DIR. Says so
# before it starts, keeps the build's output in DIR/build.log, shows its progress on a
# terminal, and says how long it took; a failed build prints its log.
orvo_build() {
  local dir=$1
  shift
  local log=$dir/build.log start=$SECONDS status=0
  mkdir -p "$dir"
  orvo_say "building (the first time takes a few minutes; log in $log)"
  : >"$log"
  local progress=
  if [ -t 1 ]; then
    orvo_show_progress "$log" &
    progress=$!
  fi
  { cmake -S "$ORVO_ROOT" -B "$dir" -G Ninja "$@" && cmake --build "$dir" -- -k 0; } >>"$log" 2>&1 || status=$?
  if [ -n "$progress" ]; then
    kill "$progress" 2>/dev/null || true
    wait "$progress" 2>/dev/null || true
    printf '\r\033[K'
  fi
  if [ "$status" -ne 0 ]; then
    cat "$log"
    orvo_say "the build failed after $(orvo_duration $((SECONDS - start))) (log in $log)"
    return "$status"
  fi
  orvo_say "built in $(orvo_duration $((SECONDS - start)))"
}

# On a terminal: the build's last "[done/total]" step on one line, every second, for as
# long as the script that started the build runs.
orvo_show_progress() {
  local log=$1 step
  while kill -0 $$ 2>/dev/null; do
    step=$(grep -o -E '^\[[0-9]+/[0-9]+\]' "$log" 2>/dev/null | tail -1 || true)
    [ -z "$step" ] || printf '\r   %s ' "$step"
    sleep 1
  done
}
