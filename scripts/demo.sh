#!/usr/bin/env bash
# The main job: builds the programs, makes the demo tile (36-37 N, 84-85 W) and starts
# gridview on it under Wine. With no display set, it runs on a virtual one and saves a
# screenshot to build/shots/demo.png instead.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
cd "$repo"
jobs=$(nproc)

"$here/install-deps.sh"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs" --target make_demo_tile
mkdir -p build/demo
if [ ! -f build/demo/n37w085.flt ] || [ build/native/tools/make_demo_tile -nt build/demo/n37w085.flt ]; then
  build/native/tools/make_demo_tile build/demo
fi

if /usr/lib/wine/wine --version >/dev/null 2>&1; then preset=windows; else preset=windows-x64; fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$jobs"
bin="$repo/build/$preset/bin"

headless=""
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
      for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    fi
  done
fi

echo "Starting gridview on build/demo/n37w085.hdr"
"$here/wine-run.sh" "$bin/robot.exe" --show "$bin" "$repo/build/demo/n37w085.hdr"
if [ -n "$headless" ]; then
  sleep 5
  mkdir -p build/shots
  "$here/wine-run.sh" "$bin/robot.exe" --screenshot "$repo/build/shots/demo.bmp" || true
  echo "No display: a screenshot of gridview is in build/shots/demo.bmp"
  WINEPREFIX="$repo/build/wineprefix$([ "$preset" = windows ] && echo 32 || echo 64)" \
    /usr/lib/wine/wineserver -k || true
  exit 0
fi
echo "gridview is running; close it to end."
WINEPREFIX="${TERRAVANE_WINEPREFIX:-$repo/build/wineprefix$([ "$preset" = windows ] && echo 32 || echo 64)}" \
  /usr/lib/wine/wineserver -w
