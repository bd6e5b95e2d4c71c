#!/usr/bin/env bash
# Writes the reference outputs of the end-to-end scenarios with the native build of the
# core writer: one file per line of each list, named as the line's first field (".csv"
# added when it has no extension of its own).
#   native-references.sh <write_points> <header> <output folder> <list>...
set -euo pipefail
writer="$1" header="$2" out="$3"
shift 3
if [ ! -x "$writer" ]; then
  echo "the native writer $writer is missing: build the native preset first"
  exit 1
fi
mkdir -p "$out"
for list in "$@"; do
  grep -v -E '^(#|$)' "$list" | while read -r name selection; do
    case "$name" in *.*) file="$name" ;; *) file="$name.csv" ;; esac
    rm -f "$out/$file"
    # shellcheck disable=SC2086
    "$writer" "$header" "$out/$file" $selection
  done
done
