#!/usr/bin/env bash
# Fails on an include that points up or sideways between the layers:
#   engine   protocol < link < mapping < midi: a folder includes only those below it and
#            platform/; never os/, sim/, app/, editor/, Qt or an operating system's header
#   platform the interfaces and portable primitives: include only platform/
#   os/NAME  one platform layer: includes only platform/ and its own folder (os/fake, the
#            test doubles, may include the engine interfaces it stands in for; the desktop
#            layers os/x11 and os/wayland run on Linux and may use os/linux)
#   sim      the simulated surface: protocol/, platform/ and sim/ only
#   editor   never app/
#   src/     nothing from tools/, tests/ or the harness
# Usage: scripts/check_layers.sh   (from anywhere; prints each forbidden include)
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case $1 in protocol) echo 1 ;; link) echo 2 ;; mapping) echo 3 ;; midi) echo 4 ;; *) echo 0 ;; esac
}

bad=0
forbid() {
  echo "forbidden include: $1 includes \"$2\" ($3)"
  bad=1
}

while IFS= read -r file; do
  from=${file%%/*}
  [ "$from" = os ] && from=os/$(echo "$file" | cut -d/ -f2)
  while IFS= read -r target; do
    to=${target%%/*}
    [ "$to" = os ] && to=os/$(echo "$target" | cut -d/ -f2)
    [ "$to" = "$from" ] && continue
    case $to in tools | tests | harness | support | sim_surface)
      forbid "$file" "$target" "product code never uses helper programs or tests"; continue ;;
    esac
    case $from in
      protocol | link | mapping | midi)
        if [ "$to" = platform ]; then continue; fi
        local_rank=$(rank "$from")
        to_rank=$(rank "$to")
        if [ "$to_rank" = 0 ] || [ "$to_rank" -ge "$local_rank" ]; then
          forbid "$file" "$target" "the engine's layers point down: protocol < link < mapping < midi"
        fi ;;
      platform) forbid "$file" "$target" "interfaces depend on nothing above them" ;;
      os/fake) case $to in protocol | link | mapping | midi | platform) ;; *)
        forbid "$file" "$target" "test doubles stand in for the engine's interfaces only" ;; esac ;;
      os/x11 | os/wayland) case $to in platform | os/linux) ;; *)
        forbid "$file" "$target" "a desktop layer uses only the interfaces and the Linux layer" ;; esac ;;
      os/*) [ "$to" = platform ] || forbid "$file" "$target" "a platform layer uses only the interfaces" ;;
      sim) case $to in protocol | platform) ;; *) forbid "$file" "$target" "the simulator sits on the protocol" ;; esac ;;
      editor) [ "$to" = app ] && forbid "$file" "$target" "the editor does not know the application" ;;
    esac
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  case $from in
    protocol | link | mapping | midi | platform)
      if grep -qE '^#include <Q' "$file"; then
        forbid "$file" "<Q...>" "the engine has no Qt"
      fi
      if grep -qE '^#include <[^>]*\.h>' "$file"; then
        forbid "$file" "$(grep -m1 -oE '<[^>]*\.h>' "$file")" "the engine makes no operating-system calls"
      fi ;;
  esac
done < <(find . -name '*.h' -o -name '*.cpp' -o -name '*.inc' | sed 's#^\./##' | sort)

if [ "$bad" -ne 0 ]; then exit 1; fi
echo "layers: every include points down"
