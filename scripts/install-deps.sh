#!/usr/bin/env bash
# Installs what building and testing need, on a Debian machine, when it is missing:
# CMake and g++ with GoogleTest and zlib for the native core, clang with its libFuzzer and
# sanitizer run times for the fuzz targets, mingw-w64 with its zlib for the Windows
# programs, Xvfb and Wine (32-bit, and 64-bit for machines that cannot run 32-bit code) to
# run them, GDAL to make and check the GeoTIFF fixtures, PROJ's command-line tools to check
# the map projections (and to regenerate their table), ezdxf to audit the DXF drawings (and,
# with matplotlib, to draw them for the documentation), numpy and scipy for the checker that
# reads a TIN surface back against its block, Node.js with npm to run delatin (the oracle of
# the surface's size), installed under build/npm.
set -euo pipefail

native=(cmake make g++ googletest libgtest-dev zlib1g-dev clang libclang-rt-dev gdal-bin
        proj-bin python3-ezdxf python3-matplotlib python3-numpy python3-scipy nodejs)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
         binutils-mingw-w64-x86-64 libz-mingw-w64-dev)
desktop=(xvfb xauth wine wine64 fonts-wine fonts-liberation)
i386=(wine32:i386)

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
install_delatin() {
  if [ ! -f "$repo/build/npm/node_modules/delatin/index.js" ]; then
    mkdir -p "$repo/build/npm"
    npm install --prefix "$repo/build/npm" --no-audit --no-fund delatin@0.2.0 >/dev/null
  fi
}

# A package without an architecture is asked for in the machine's own: with a second
# architecture's copy installed beside it, a bare name would be ambiguous to dpkg.
arch="$(dpkg --print-architecture)"
missing=()
for package in "${native[@]}" "${windows[@]}" "${desktop[@]}" "${i386[@]}"; do
  query="$package"
  [[ "$package" == *:* ]] || query="$package:$arch"
  dpkg -s "$query" >/dev/null 2>&1 || dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# Debian's nodejs comes without npm; other builds of nodejs bring their own.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
  install_delatin
  exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror caught in the middle of a sync fails the update for a moment: try again.
$sudo apt-get update -qq || { sleep 30; $sudo apt-get update -qq; }
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" \
  >/dev/null
install_delatin
