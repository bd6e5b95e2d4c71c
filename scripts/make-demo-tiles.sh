#!/usr/bin/env bash
# Makes the demo tiles the tests and the demo use, when they are missing or older than
# their maker: build/demo (the standard tile n37w085, and the three tiles east, south and
# south-east of it, n37w084, n36w085 and n36w084, which continue its terrain without a
# seam, for blocks across the whole-degree lines) and build/demo-special (with a block of
# below-zero values and a block of no-data cells), and as the USGS ships tiles today
# (cloud-optimized GeoTIFF, LZW, floating-point predictor, made with GDAL) the standard
# tile, build/demo/USGS_13_n37w085.tif, and its south-east neighbour,
# build/demo/USGS_13_n36w084.tif. Needs the native build and gdal-bin; the maker is taken
# from (and brought up to date in) the build folder TERRAVANE_DEMO_BUILD, build/native
# unless set.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
mkdir -p "$repo/build"
# One maker at a time: tests that need a tile may call this while it runs.
exec 9>"$repo/build/.demo-tiles.lock"
flock 9
build="${TERRAVANE_DEMO_BUILD:-$repo/build/native}"
maker="$build/tools/make_demo_tile"
stale=0
for source in "$repo"/tools/demo_tile.cpp "$repo"/tools/demo_tile.h "$repo"/tools/make_demo_tile.cpp; do
  if [ ! -x "$maker" ] || [ "$source" -nt "$maker" ]; then stale=1; fi
done
if [ "$stale" = 1 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ -z "${TERRAVANE_DEMO_BUILD:-}" ]; then
      cmake --preset native >/dev/null
    else
      cmake -S "$repo" -B "$build" >/dev/null
    fi
  fi
  cmake --build "$build" -j"$(nproc)" --target make_demo_tile
fi
# make_one <folder> <tile> [maker options]
make_one() {
  local dir="$1" tile="$2"
  shift 2
  if [ ! -f "$dir/$tile.flt" ] || [ "$maker" -nt "$dir/$tile.flt" ]; then
    "$maker" "$dir" --tile "$tile" "$@"
  else
    echo "$dir/$tile.flt is up to date"
  fi
}
make_one "$repo/build/demo" n37w085
make_one "$repo/build/demo-special" n37w085 --special
for tile in n37w084 n36w085 n36w084; do
  make_one "$repo/build/demo" "$tile"
done

# make_cog <tile>: build/demo/USGS_13_<tile>.tif from build/demo/<tile>.flt
make_cog() {
  local raster="$repo/build/demo/$1.flt" cog="$repo/build/demo/USGS_13_$1.tif"
  if [ ! -f "$cog" ] || [ "$raster" -nt "$cog" ]; then
    gdal_translate -q --config GDAL_PAM_ENABLED NO -of COG -a_srs EPSG:4269 -co COMPRESS=LZW \
      -co PREDICTOR=3 "$raster" "$cog.part.tif"
    mv "$cog.part.tif" "$cog"
    echo "wrote $cog"
  else
    echo "$cog is up to date"
  fi
}
make_cog n37w085
make_cog n36w084
