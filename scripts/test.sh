#!/usr/bin/env bash
# Runs every test: the native unit tests (plain and under AddressSanitizer and
# UndefinedBehaviorSanitizer), every fuzz target for 20 seconds, then the Windows programs
# end to end under Wine, driven by the robot. Installs what is missing first. Exits
# non-zero when any test fails or a fuzz target finds a fault.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
cd "$repo"
jobs=$(nproc)

"$here/install-deps.sh"

section() { printf '\n=== %s ===\n' "$*"; }

section "native build"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"

# The unit tests and the end-to-end tests read the demo tiles and the GeoTIFF made of one.
section "demo tiles"
"$here/make-demo-tiles.sh"

section "native unit tests"
ctest --preset native -j"$jobs"

section "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j"$jobs"
ctest --preset native-asan -j"$jobs"

section "fuzz targets, 20 seconds each"
"$here/fuzz.sh" 20

section "32-bit Windows programs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"

# Wine runs 32-bit programs only where the machine can execute 32-bit code; elsewhere the
# same sources built for 64-bit Windows run under the 64-bit Wine.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  e2e_build=build/windows
else
  echo "This machine cannot execute 32-bit code: the end-to-end tests run the 64-bit build."
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64 -j"$jobs"
  e2e_build=build/windows-x64
  (cd build/windows && ctest -R '^imports_' --output-on-failure)
fi

section "end-to-end tests under Wine ($e2e_build)"
# shellcheck source=scripts/xvfb.sh
. "$here/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT
(cd "$e2e_build" && ctest --output-on-failure)
