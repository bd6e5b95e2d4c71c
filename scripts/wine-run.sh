#!/usr/bin/env bash
# Runs a Windows program under Wine the way the tests and the demo need it: a Wine prefix
# of the project's own, no debug noise, an X display (an Xvfb of its own when none is set),
# and the Wine loader that matches the program (32-bit where this machine can run 32-bit
# code, 64-bit otherwise).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
exe="$1"
shift

# The PE machine field tells 32-bit (0x14c) from 64-bit (0x8664) programs.
pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$exe" | tr -d ' ')
if [ "$machine" = "8664" ]; then
  loader=/usr/lib/wine/wine64
  prefix="${TERRAVANE_WINEPREFIX:-$repo/build/wineprefix64}"
else
  loader=/usr/lib/wine/wine
  prefix="${TERRAVANE_WINEPREFIX:-$repo/build/wineprefix32}"
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# shellcheck source=scripts/xvfb.sh
. "$here/xvfb.sh"
start_xvfb
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    stop_xvfb
  fi
}
trap cleanup EXIT

if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  "$loader" wineboot -i >/dev/null 2>&1 || true
  # Without a window manager Wine draws the window frames and captions itself, with its own
  # fonts (the close box is a Marlett glyph).
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  /usr/lib/wine/wineserver -w || true
fi

# The programs ask for Courier New, Times New Roman and Arial, which a fresh prefix lacks:
# Wine would draw every face in one sans-serif font. Debian's metric-compatible faces
# stand in for them. They are marked done only when every one was written, so that a run
# after a failed one tries again.
if [ ! -f "$prefix/.font-replacements" ]; then
  key='HKCU\Software\Wine\Fonts\Replacements'
  replaced=1
  for pair in "Courier New=Liberation Mono" "Times New Roman=Liberation Serif" \
    "Arial=Liberation Sans"; do
    "$loader" reg add "$key" /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null 2>&1 || replaced=0
  done
  /usr/lib/wine/wineserver -w || true
  if [ "$replaced" = 1 ]; then
    touch "$prefix/.font-replacements"
  else
    echo "wine-run.sh: the font replacements could not all be set; trying again next time" >&2
  fi
fi

"$loader" "$exe" "$@"
