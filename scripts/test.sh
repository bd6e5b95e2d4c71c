#!/usr/bin/env bash
# Runs every test: the native unit tests (plain and under AddressSanitizer and
# UndefinedBehaviorSanitizer), then the Windows programs end to end under Wine, driven by
# the robot. Installs what is missing first. Exits non-zero when any test fails.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
cd "$repo"
jobs=$(nproc)

"$here/install-deps.sh"

section() { printf '\n=== %s ===\n' "$*"; }

section "native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

section "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j"$jobs"
ctest --preset native-asan -j"$jobs"

section "demo tiles"
"$here/make-demo-tiles.sh"

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
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    fi
  done
fi
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true' EXIT
(cd "$e2e_build" && ctest --output-on-failure)
