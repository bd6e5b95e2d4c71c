#!/usr/bin/env bash
# Checks that a Windows program imports only the system libraries it may use: user32,
# gdi32, comdlg32 and kernel32, and the C run-time library (msvcrt).
set -euo pipefail
exe="$1"
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || objdump=i686-w64-mingw32-objdump
bad=$("$objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' |
      grep -v -x -E 'user32\.dll|gdi32\.dll|comdlg32\.dll|kernel32\.dll|msvcrt\.dll' || true)
if [ -n "$bad" ]; then
  echo "$exe imports libraries it may not use: $bad"
  exit 1
fi
echo "$exe imports only the allowed system libraries"
