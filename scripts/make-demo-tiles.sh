#!/usr/bin/env bash
# Makes the demo tiles the tests and the demo use, when they are missing or older than
# their maker: build/demo (the standard tile) and build/demo-special (with a block of
# below-zero values and a block of no-data cells), and the standard tile as the USGS ships
# tiles today, build/demo/USGS_13_n37w085.tif (cloud-optimized GeoTIFF, LZW, floating-point
# predictor, made with GDAL). Needs the native build and gdal-bin.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
mkdir -p "$repo/build"
# One maker at a time: tests that need a tile may call this while it runs.
exec 9>"$repo/build/.demo-tiles.lock"
flock 9
maker="$repo/build/native/tools/make_demo_tile"
if [ ! -x "$maker" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc)" --target make_demo_tile
fi
make_one() {
  local dir="$1"
  shift
  if [ ! -f "$dir/n37w085.flt" ] || [ "$maker" -nt "$dir/n37w085.flt" ]; then
    "$maker" "$dir" "$@"
  else
    echo "$dir/n37w085.flt is up to date"
  fi
}
make_one "$repo/build/demo"
make_one "$repo/build/demo-special" --special

cog="$repo/build/demo/USGS_13_n37w085.tif"
if [ ! -f "$cog" ] || [ "$repo/build/demo/n37w085.flt" -nt "$cog" ]; then
  gdal_translate -q --config GDAL_PAM_ENABLED NO -of COG -a_srs EPSG:4269 -co COMPRESS=LZW \
    -co PREDICTOR=3 "$repo/build/demo/n37w085.flt" "$cog.part.tif"
  mv "$cog.part.tif" "$cog"
  echo "wrote $cog"
else
  echo "$cog is up to date"
fi
