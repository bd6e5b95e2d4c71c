#!/usr/bin/env bash
# Makes the demo tiles the tests and the demo use, when they are missing or older than
# their maker: build/demo (the standard tile) and build/demo-special (with a block of
# below-zero values and a block of no-data cells). Needs the native build.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
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
