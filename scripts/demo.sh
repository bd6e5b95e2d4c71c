#!/usr/bin/env bash
# The main job: builds the programs, makes the demo tile (36-37 N, 84-85 W) and starts
# gridview on it under Wine. With no display set, it runs on a virtual one and saves a
# screenshot to build/shots/demo.bmp instead.
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
# The Wine prefix that scripts/wine-run.sh uses for this build.
export WINEPREFIX="${TERRAVANE_WINEPREFIX:-$repo/build/wineprefix$([ "$preset" = windows ] && echo 32 || echo 64)}"

headless=""
[ -z "${DISPLAY:-}" ] && headless=1
# shellcheck source=scripts/xvfb.sh
. "$here/xvfb.sh"
start_xvfb
trap stop_xvfb EXIT

echo "Starting gridview on build/demo/n37w085.hdr"
"$here/wine-run.sh" "$bin/robot.exe" --show "$bin" "$repo/build/demo/n37w085.hdr"
if [ -n "$headless" ]; then
  sleep 5
  mkdir -p build/shots
  "$here/wine-run.sh" "$bin/robot.exe" --screenshot "$repo/build/shots/demo.bmp" || true
  echo "No display: a screenshot of gridview is in build/shots/demo.bmp"
  /usr/lib/wine/wineserver -k || true
  exit 0
fi
echo "gridview is running; close it to end."
/usr/lib/wine/wineserver -w
