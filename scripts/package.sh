#!/usr/bin/env bash
# Installs what is missing, builds a release tree and makes the Debian package of it:
# build/package/orvo_<version>_<arch>.deb, whose path is the last line printed. Then:
#   sudo apt-get install ./build/package/orvo_*.deb
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ORVO_ROOT"
orvo_install_packages

out=build/package
tree=$out/tree
start=$SECONDS
# Debian's hardening flags, without debug information (the package holds no symbols); the
# changelog and every time stamp of the package are the commit's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS CXXFLAGS LDFLAGS
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
orvo_build "$tree" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF -DORVO_BUILD_FUZZ=OFF \
  -DORVO_AUTOSTART_DIR=/etc/xdg/autostart

orvo_say "packaging (log in $out/cpack.log)"
rm -f "$out"/orvo_*.deb
(cd "$tree" && cpack -G DEB -B "$ORVO_ROOT/$out") >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  exit 1
}
deb=$(ls "$out"/orvo_*.deb)
orvo_say "package made in $(orvo_duration $((SECONDS - start))); install it with: sudo apt-get install ./$deb"
echo "$deb"
