#!/usr/bin/env bash
# Writes the reference of the block that scenarios_tiles_beside.cpp has gridpick write
# across the corner of four tiles, with the native build of the core writer, over the same
# four tiles as the scenario's folder holds them: the demo tile n37w085, n37w084 and
# n36w085 as GridFloat pairs under names that do not tell their place, and n36w084 only as
# the GeoTIFF USGS_13_n36w084.tif, which the writer converts beside as gridpick does.
#   mosaic-reference.sh <write_points> <demo folder> <output folder>
set -euo pipefail
writer="$1" demo="$2" out="$3"
if [ ! -x "$writer" ]; then
  echo "the native writer $writer is missing: build the native preset first"
  exit 1
fi
tiles="$out/tiles_beside"
mkdir -p "$tiles"
# link <file in the demo folder> <name>: a hard link where the file system allows one (a
# raster is 467 MB), else a symbolic one.
link() {
  rm -f "$tiles/$2"
  ln "$demo/$1" "$tiles/$2" 2>/dev/null || ln -s "$demo/$1" "$tiles/$2"
}
link n37w085.hdr n37w085.hdr
link n37w085.flt n37w085.flt
link n37w084.hdr "east tile.hdr"
link n37w084.flt "east tile.flt"
link n36w085.hdr "south tile.hdr"
link n36w085.flt "south tile.flt"
link USGS_13_n36w084.tif USGS_13_n36w084.tif
# 36 00 30 N, 84 00 30 W, 2 km each way: 195 rows and 242 columns from row and column
# 10716, 90 of each in the demo tile; the CSV grid.
rm -f "$out/tiles_beside.csv"
"$writer" "$tiles/n37w085.hdr" "$out/tiles_beside.csv" 10716 10716 195 242 0 csv 200000 200000 0 beside
# The same block's contours at 2 m in the local grid, which scenarios_contours.cpp draws.
rm -f "$out/contours_beside.dxf"
"$writer" "$tiles/n37w085.hdr" "$out/contours_beside.dxf" 10716 10716 195 242 0 dxf 200000 200000 0 \
  beside contours:2,5
