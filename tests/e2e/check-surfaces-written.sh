#!/bin/sh
# The surfaces the surfaces scenarios wrote, each held by check-surface.py to the points of
# its block (the Rectangular XYZ file written beside it, every cell, and its column count),
# then the drawings of the folder read by GDAL's DXF driver and audited by ezdxf:
#   check-surfaces-written.sh <work folder>
#       <surface> <points> <columns file> <tolerance> [same:<other surface of the block>] ...
# The files are named under the work folder; a missing one fails the run. With same:, the
# checker also holds the surface to the other one: the same faces in both forms. The
# scripts run with the system's Python, whose numpy and ezdxf scripts/install-deps.sh
# installs.
here=$(dirname "$0")
work=$1
shift
failed=0
while [ $# -ge 4 ]; do
  surface=$1 points=$2 columns=$3 tolerance=$4
  shift 4
  other=""
  case "${1:-}" in
    same:*)
      other=${1#same:}
      shift
      ;;
  esac
  missing=0
  for file in "$surface" "$points" "$columns" ${other:+"$other"}; do
    if [ ! -s "$work/$file" ]; then
      echo "$file: missing"
      missing=1
    fi
  done
  if [ $missing = 1 ]; then
    failed=1
    continue
  fi
  echo "$surface at $tolerance:"
  /usr/bin/python3 "$here/check-surface.py" "$work/$surface" "$work/$points" \
    "$(cat "$work/$columns")" "$tolerance" ${other:+"$work/$other"} || failed=1
done
if [ $# -ne 0 ]; then
  echo "usage: check-surfaces-written.sh <work folder>" \
    "[<surface> <points> <columns> <tolerance> [same:<surface>]]..."
  exit 2
fi
/usr/bin/python3 "$here/read-drawings.py" "$work" || failed=1
exit $failed
