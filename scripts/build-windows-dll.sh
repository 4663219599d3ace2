#!/usr/bin/env bash
# Builds the 32-bit Windows DLL from the library sources with the MinGW-w64 cross compiler
# (cmake/mingw-i686.cmake) and checks that it exports exactly the fifteen undecorated names.
# The build folder is kept, so a second run rebuilds only what changed.
#   scripts/build-windows-dll.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
if ! command -v i686-w64-mingw32-g++-win32 >/dev/null && ! command -v i686-w64-mingw32-g++ >/dev/null; then
  echo "error: the i686 MinGW-w64 cross compiler is missing (Debian package g++-mingw-w64-i686-win32)" >&2
  exit 1
fi
mkdir -p "$out"
cd "$root"
cmake --preset windows -B "$out" >"$out/configure.log" 2>&1 || { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out" -j "${JOBS:-$(nproc)}"
