#!/usr/bin/env bash
# Writes TIN surfaces of blocks of the demo tiles with the native build of the core writer,
# each as LandXML and as DXF 3D faces beside the Rectangular XYZ points of the same block,
# and holds every surface to its points with check-surface.py (the DXF also to the LandXML's
# faces) and every drawing to the CAD readers with read-drawings.py:
#   surface-references.sh [<write_points> <demo folder> <special demo folder> <output folder>]
# Without arguments, the native build's writer and the demo tiles under build/, into
# build/native/surfaces.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
writer="${1:-$repo/build/native/tools/write_points}"
demo="${2:-$repo/build/demo}"
special="${3:-$repo/build/demo-special}"
out="${4:-$repo/build/native}/surfaces"
if [ ! -x "$writer" ]; then
  echo "the native writer $writer is missing: build the native preset first"
  exit 1
fi
for tile in "$demo/n37w085.hdr" "$special/n37w085.hdr"; do
  if [ ! -f "$tile" ]; then
    echo "$tile is missing: run scripts/make-demo-tiles.sh first"
    exit 1
  fi
done
rm -rf "$out"
mkdir -p "$out"

# surface <name> <header> <startRow> <startCol> <rows> <cols> <startEasting> <startNorthing>
#         <feet 0|1> <tolerance> [write_points options]
surface() {
  local name="$1" header="$2" row="$3" col="$4" rows="$5" cols="$6" east="$7" north="$8"
  local feet="$9" tolerance="${10}"
  shift 10
  local block=("$header" "$row" "$col" "$rows" "$cols" 0)
  "$writer" "${block[0]}" "$out/$name.csv" "${block[@]:1}" rect "$east" "$north" "$feet" "$@" \
    >/dev/null
  "$writer" "${block[0]}" "$out/$name.xml" "${block[@]:1}" landxml "$east" "$north" "$feet" "$@" \
    "tolerance:$tolerance"
  "$writer" "${block[0]}" "$out/$name.dxf" "${block[@]:1}" dxftin "$east" "$north" "$feet" "$@" \
    "tolerance:$tolerance" >/dev/null
  "$here/check-surface.py" "$out/$name.xml" "$out/$name.csv" "$cols" "$tolerance"
  "$here/check-surface.py" "$out/$name.dxf" "$out/$name.csv" "$cols" "$tolerance" "$out/$name.xml"
}

# The demo tile's relief on the local grid, in metres.
surface local_m "$demo/n37w085.hdr" 4728 4050 150 200 200000 200000 0 0.1
# NAD83 / Tennessee (ftUS), elevations in its foot.
surface tennessee_ft "$demo/n37w085.hdr" 8000 4000 300 300 0 0 1 0.3 epsg:2274
# Blocks of the special tile that hold cells of no data: its north-west corner among them
# (as gridview writes it), and its southern rows.
surface nodata_corner "$special/n37w085.hdr" 8600 2900 200 200 200000 200000 0 0.1 viewer
surface nodata_south "$special/n37w085.hdr" 8000 2600 200 200 200000 200000 1 0.3
# A face left out beside a hole, which leaves no cell uncovered, must be found all the same.
"$here/drop-hole-face.py" "$out/nodata_corner.xml" "$out/nodata_corner.csv" 200 "$out/dropped.xml"
if "$here/check-surface.py" "$out/dropped.xml" "$out/nodata_corner.csv" 200 0.1 >"$out/dropped.txt"; then
  echo "check-surface.py took $out/dropped.xml, a surface with a face left out"
  exit 1
fi
grep "is missing" "$out/dropped.txt"
# The golden files of the unit tests, against the points of their tiny block.
data="$repo/tests/data"
"$here/check-surface.py" "$data/surface_tiny.xml" "$data/surface_tiny.csv" 5 0.1
"$here/check-surface.py" "$data/surface_tiny.dxf" "$data/surface_tiny.csv" 5 0.1 \
  "$data/surface_tiny.xml"
cp "$data/surface_tiny.dxf" "$out/"
"$here/read-drawings.py" "$out"
