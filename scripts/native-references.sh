#!/usr/bin/env bash
# Writes the reference outputs of the gridpick end-to-end scenarios with the native build
# of the core writer: one <name>.csv per line of the list.
#   native-references.sh <write_points> <header> <list> <output folder>
set -euo pipefail
writer="$1" header="$2" list="$3" out="$4"
if [ ! -x "$writer" ]; then
  echo "the native writer $writer is missing: build the native preset first"
  exit 1
fi
mkdir -p "$out"
grep -v -E '^(#|$)' "$list" | while read -r name selection; do
  rm -f "$out/$name.csv"
  # shellcheck disable=SC2086
  "$writer" "$header" "$out/$name.csv" $selection
done
