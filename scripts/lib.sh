# Shared by the set-up scripts: installs what is missing, configures and builds.
# Sourced, not run.

ORVO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

orvo_say() { printf '== %s\n' "$*"; }

# Installs the packages of a list (default scripts/debian-packages.txt) that are not
# installed yet.
orvo_install_packages() {
  local wanted missing=()
  wanted=$(grep -v -E '^\s*(#|$)' "${1:-$ORVO_ROOT/scripts/debian-packages.txt}")
  for pkg in $wanted; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  orvo_say "installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q || return 1
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# orvo_build DIR [cmake options...]: configures (once) and builds the tree in DIR.
orvo_build() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cmake -S "$ORVO_ROOT" -B "$dir" -G Ninja "$@" >"$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log"
    return 1
  }
  cmake --build "$dir" -- -k 0
}
