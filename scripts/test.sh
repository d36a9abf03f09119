#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build, the
# AddressSanitizer+UBSan build, the ThreadSanitizer build, the Windows cross-build with its
# tests under Wine, the fuzzers for a bounded time; and makes the Debian package, checks it,
# installs it, runs it and purges it.
#   ORVO_FUZZ_SECONDS   seconds per fuzz target (default 60; 0 skips fuzzing)
#   ORVO_TEST_QUICK=1   the plain build only (no sanitizers, fuzzers or package)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/services.sh"
cd "$ORVO_ROOT"

orvo_install_packages scripts/debian-packages.txt scripts/debian-packages-checks.txt
# Set before the start, so that a start that fails half-way stops what did start.
trap orvo_stop_services EXIT
# KWin and GNOME Shell for the plain build's run only: the sanitizer runs skip their cases.
ORVO_TEST_DESKTOPS=1 orvo_start_services

fuzz_seconds=${ORVO_FUZZ_SECONDS:-60}
failed=()
passed_total=0
failed_total=0
# Adds up ctest's closing line ("97% tests passed, 3 tests failed out of 100").
count_ctest() {
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]] || return 0
  failed_total=$((failed_total + BASH_REMATCH[1]))
  passed_total=$((passed_total + BASH_REMATCH[2] - BASH_REMATCH[1]))
}
run_ctest() {  # run_ctest NAME DIR [ctest options...]
  local name=$1 dir=$2
  shift 2
  orvo_say "tests: $name"
  local status=0 start=$SECONDS
  (cd "$dir" && ctest --output-on-failure --timeout 300 "$@") 2>&1 | tee "$dir/ctest.log" || status=$?
  [ "$status" -eq 0 ] || failed+=("$name")
  count_ctest "$dir/ctest.log"
  orvo_say "tests: $name took $(orvo_duration $((SECONDS - start)))"
}

orvo_say "layers"
scripts/check_layers.sh || failed+=(layers)

orvo_say "build: plain"
orvo_build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_WERROR=ON
run_ctest plain build/test
orvo_stop_desktops

# The JACK tests once more, on PipeWire's JACK library (the plain build only). Its dummy
# driver loses a whole period now and then on a loaded machine, where jackd's does not: a
# test that meets such a loss runs once more.
orvo_say "tests: jack on PipeWire"
pipewire_status=0
start=$SECONDS
if orvo_start_pipewire; then
  (cd build/test && PIPEWIRE_RUNTIME_DIR="$ORVO_PIPEWIRE_RUNTIME" pw-jack \
    ctest --output-on-failure --timeout 300 -L jack --repeat until-pass:2) 2>&1 | tee build/test/ctest-pipewire.log || pipewire_status=$?
  count_ctest build/test/ctest-pipewire.log
else
  pipewire_status=1
fi
[ "$pipewire_status" -eq 0 ] || failed+=("jack on PipeWire")
orvo_say "tests: jack on PipeWire took $(orvo_duration $((SECONDS - start)))"

if [ "${ORVO_TEST_QUICK:-0}" != 1 ]; then
  orvo_say "package: make it, check it, install it, run it, purge it"
  start=$SECONDS
  mkdir -p build/package
  package_log=build/package/package.log
  if scripts/package.sh 2>&1 | tee "$package_log" && deb=$(tail -1 "$package_log") && [ -f "$deb" ]; then
    scripts/check_package.sh "$deb" || failed+=(package)
  else
    failed+=(package)
  fi
  orvo_say "package: took $(orvo_duration $((SECONDS - start)))"

  # orvo.exe, the engine and the Windows layer cross-built with mingw-w64 and the zip made;
  # their tests under Wine, the end to end of orvo.exe among them.
  orvo_say "build: windows"
  start=$SECONDS
  if scripts/build-windows.sh >build/windows-build.log 2>&1; then
    run_ctest windows build/windows
  else
    tail -50 build/windows-build.log
    failed+=("windows build")
  fi
  orvo_say "windows: build, zip and tests took $(orvo_duration $((SECONDS - start)))"

  orvo_say "build: address and undefined-behaviour sanitizers"
  orvo_build build/asan -DCMAKE_BUILD_TYPE=Debug -DORVO_SANITIZE=address -DORVO_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest asan build/asan

  orvo_say "build: thread sanitizer"
  orvo_build build/tsan -DCMAKE_BUILD_TYPE=Debug -DORVO_SANITIZE=thread -DORVO_BUILD_BENCH=OFF
  # Some kernels place memory where the sanitizer cannot work; without randomisation it can.
  orvo_say "tests: tsan"
  tsan_status=0
  start=$SECONDS
  TSAN_OPTIONS="halt_on_error=1 suppressions=$ORVO_ROOT/scripts/tsan.supp" setarch "$(uname -m)" -R \
    bash -c 'cd build/tsan && ctest --output-on-failure --timeout 300' 2>&1 | tee build/tsan/ctest.log || tsan_status=$?
  [ "$tsan_status" -eq 0 ] || failed+=(tsan)
  count_ctest build/tsan/ctest.log
  orvo_say "tests: tsan took $(orvo_duration $((SECONDS - start)))"

  if [ "$fuzz_seconds" -gt 0 ]; then
    orvo_say "build: fuzzers"
    orvo_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DORVO_BUILD_FUZZ=ON -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF -DORVO_SANITIZE=address
    for target in build/fuzz/fuzz/*_fuzz; do
      [ -x "$target" ] || continue
      orvo_say "fuzz: $(basename "$target") for ${fuzz_seconds}s"
      corpus=build/fuzz/corpus/$(basename "$target")
      mkdir -p "$corpus"
      "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$corpus" \
        >"build/fuzz/$(basename "$target").log" 2>&1 || {
        tail -50 "build/fuzz/$(basename "$target").log"
        failed+=("fuzz $(basename "$target")")
      }
      grep -E 'stat::number_of_executed_units' "build/fuzz/$(basename "$target").log" || true
    done
  fi
fi

if [ ${#failed[@]} -gt 0 ]; then
  orvo_say "FAILED: ${failed[*]}"
  echo "tests: $passed_total passed, $failed_total failed"
  exit 1
fi
orvo_say "all tests passed"
echo "tests: $passed_total passed, $failed_total failed"
