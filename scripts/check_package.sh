#!/usr/bin/env bash
# Checks a Debian package of the driver as a user meets it: its contents, the desktop
# entries, the software-centre description and lintian (no errors; warnings are listed);
# then installs it with apt, runs the installed program (its version, the example Keysets,
# a headless simulated surface answering one press), purges it and checks that nothing is
# left. Needs root, the packages of scripts/debian-packages-checks.txt, and a MIDI system
# (test.sh starts JACK).
#   scripts/check_package.sh build/package/orvo_1.0_amd64.deb
set -euo pipefail
source "$(dirname "$0")/lib.sh"
deb=$(realpath "$1")
work=$(mktemp -d)
installed=0
problems=()
fail() { problems+=("$*"); orvo_say "package: $*"; }

apt_quiet() {
  DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@" >>"$work/apt.log" 2>&1
}
cleanup() {
  [ "$installed" -eq 0 ] || apt_quiet purge orvo || true
  rm -rf "$work"
}
trap cleanup EXIT

# What it holds and what it needs.
dpkg-deb -I "$deb" >"$work/info"
dpkg-deb -c "$deb" >"$work/contents"
grep -E '^ (Depends|Recommends):' "$work/info"
for file in ./usr/bin/orvo ./usr/share/applications/orvo.desktop ./etc/xdg/autostart/orvo.desktop \
  ./usr/share/icons/hicolor/scalable/apps/orvo.svg ./usr/share/icons/hicolor/scalable/apps/orvo-disconnected.svg \
  ./usr/lib/udev/rules.d/70-orvo-tablan.rules ./usr/share/metainfo/com.quorrelelectronics.orvo.metainfo.xml \
  ./usr/share/man/man1/orvo.1.gz ./usr/share/doc/orvo/README.md ./usr/share/doc/orvo/copyright \
  ./usr/share/doc/orvo/changelog.gz ./usr/share/doc/orvo/examples/settings/DEFAULT.orvo; do
  grep -q " $file\$" "$work/contents" || fail "$file is missing"
done
grep -q '^ Depends: .*libqt6widgets6' "$work/info" || fail "the dependencies were not found from the program"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q '^\./conffiles$' || fail "no conffiles"

# The desktop's view of it.
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/orvo.desktop" \
  "$work/root/etc/xdg/autostart/orvo.desktop" || fail "desktop-file-validate"
grep -q '^Exec=/usr/bin/orvo' "$work/root/usr/share/applications/orvo.desktop" || fail "the menu entry does not start /usr/bin/orvo"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml || fail "appstreamcli validate"

orvo_say "package: lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || fail "lintian found errors"
grep -v -E '^(N: |running with root)' "$work/lintian" || echo "(lintian: nothing to say)"

# Installed as a user installs it.
orvo_say "package: apt-get install, run, purge"
if ! apt_quiet install "$deb"; then
  cat "$work/apt.log"
  orvo_say "package: FAILED: apt-get install ${problems[*]}"
  exit 1
fi
installed=1
/usr/bin/orvo --version
[ "$(/usr/bin/orvo --version)" = "Orvo Version $(dpkg-deb -f "$deb" Version)" ] || fail "orvo --version"
for option in $(/usr/bin/orvo --help | grep -o -E -- '--[a-z-]+' | sort -u); do
  zcat /usr/share/man/man1/orvo.1.gz | sed 's/\\-/-/g' | grep -q -- "$option" || fail "the manual page lacks $option"
done
cp -r /usr/share/doc/orvo/examples/settings "$work/settings"
orvo --list-keysets --settings-dir "$work/settings" >"$work/list" || fail "orvo --list-keysets"
grep -q DEFAULT "$work/list" && grep -q SEQUENCER "$work/list" || fail "the example Keysets are not listed"

# A headless simulated surface, one press typed in, its line awaited. Its own runtime
# directory, so a driver running elsewhere on the machine does not count as this one.
mkdir -m 700 "$work/runtime"
mkfifo "$work/input"
XDG_RUNTIME_DIR=$work/runtime DISPLAY= WAYLAND_DISPLAY= \
  orvo --simulate --headless --settings-dir "$work/settings" <"$work/input" >"$work/run.log" 2>&1 &
driver=$!
exec 3>"$work/input"
wait_for() {  # wait_for TEXT: up to 20 s for TEXT in the driver's output
  for _ in $(seq 200); do
    grep -q -F "$1" "$work/run.log" && return 0
    kill -0 "$driver" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
if wait_for "Surface connected"; then
  echo "press PLAY" >&3
  wait_for "PLAY button BE4C7F, Keyset DEFAULT" || fail "the installed driver did not answer a press"
else
  fail "the installed driver did not connect to its simulated surface"
fi
exec 3>&-
kill -TERM "$driver" 2>/dev/null || true
status=0
wait "$driver" || status=$?
[ "$status" -eq 0 ] || fail "the installed driver ended with $status after SIGTERM"
sed 's/^/    /' "$work/run.log"

apt_quiet purge orvo || { cat "$work/apt.log"; fail "apt-get purge"; }
installed=0
! dpkg-query -W orvo >/dev/null 2>&1 || fail "dpkg still knows the package"
while read -r _ _ _ _ _ path rest; do
  path=${path#.}
  case $path in */) continue ;; esac
  [ ! -e "$path" ] || fail "$path is left after the purge"
done <"$work/contents"
for dir in /usr/share/doc/orvo /usr/share/orvo; do
  [ ! -e "$dir" ] || fail "$dir is left after the purge"
done

if [ ${#problems[@]} -gt 0 ]; then
  orvo_say "package: FAILED: ${problems[*]}"
  exit 1
fi
orvo_say "package: all checks passed"
