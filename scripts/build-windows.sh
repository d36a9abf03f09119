#!/usr/bin/env bash
# Cross-builds the driver for 64-bit Windows with mingw-w64, installing the cross compilers
# and Wine when they are missing, and packs orvo.exe with its README into a zip (CPack). Its
# last two lines are the path of the zip and the path of orvo.exe. The tests run under
# Wine, in a Wine prefix of the build's own:
#   ./scripts/build-windows.sh && ctest --test-dir build/windows
#   ORVO_WINDOWS_BUILD   the build folder (default build/windows); further arguments go to cmake
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ORVO_ROOT"

orvo_install_packages "$ORVO_ROOT/scripts/windows-packages.txt" >&2
dir=${ORVO_WINDOWS_BUILD:-build/windows}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
orvo_build "$dir" -DCMAKE_TOOLCHAIN_FILE="$ORVO_ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_WERROR=ON -DORVO_BUILD_BENCH=OFF "${launcher[@]}" "$@" >&2

dir=$(cd "$dir" && pwd)
(cd "$dir" && cpack -G ZIP) >>"$dir/build.log" 2>&1 || {
  tail -20 "$dir/build.log" >&2
  echo "packing the zip failed" >&2
  exit 1
}
echo "$dir/$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$dir/CPackConfig.cmake").zip"
echo "$dir/src/app/orvo.exe"
