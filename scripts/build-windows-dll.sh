#!/usr/bin/env bash
# Builds the 32-bit Windows DLL from the library sources with the MinGW-w64 cross compiler
# (cmake/mingw-i686.cmake), with libjpeg-turbo and libpng built from Debian's sources
# (scripts/build-windows-deps.sh) linked in, and the reader, pixel and texture-loader test
# programs as Windows executables; then checks the DLL's exports and imports.
# The build folder and the libraries' cache are kept, so a second run rebuilds only what
# changed.
#   scripts/build-windows-dll.sh [build folder]
#   KV_WINDOWS_DEPS_CACHE   where the Windows libraries are built and kept
#                           (default: build-windows-deps beside the sources)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
deps=${KV_WINDOWS_DEPS_CACHE:-$root/build-windows-deps}
if ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo "error: the i686 MinGW-w64 cross compiler is missing (Debian package g++-mingw-w64-i686-posix)" >&2
  exit 1
fi
# Two builds sharing one cache (CI's stages run in turn, but a developer may not) wait
# for each other rather than build the libraries twice into one folder.
mkdir -p "$deps"
flock "$deps/.lock" "$root/scripts/build-windows-deps.sh" "$deps"
mkdir -p "$out"
cd "$root"
cmake --preset windows -B "$out" -DKV_WINDOWS_DEPS="$deps/prefix" >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out" -j "${JOBS:-$(nproc)}"
