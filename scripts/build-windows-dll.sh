#!/usr/bin/env bash
# Builds the 32-bit Windows DLL from the library sources against the real Windows and
# Direct3D 9 headers of the MinGW-w64 cross compiler, and checks that it exports exactly
# the fifteen undecorated names.
#   scripts/build-windows-dll.sh [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
cxx=$(command -v i686-w64-mingw32-g++-posix || command -v i686-w64-mingw32-g++ || true)
if [ -z "$cxx" ]; then
  echo "error: the i686 MinGW-w64 cross compiler is missing (Debian package g++-mingw-w64-i686)" >&2
  exit 1
fi
objdump=i686-w64-mingw32-objdump
mkdir -p "$out/obj"
objects=()
while IFS= read -r src; do
  obj="$out/obj/$(echo "${src#"$root"/}" | tr / _).o"
  "$cxx" -std=c++20 -O2 -Wall -Wextra -Werror -I"$root/include" -I"$root/src" -c "$src" -o "$obj"
  objects+=("$obj")
done < <(find "$root/src" -name '*.cpp' | sort)
# The .def file names the exports; stdcall-fixup maps them onto the decorated symbols.
"$cxx" -shared -o "$out/kvPolygon.dll" "${objects[@]}" "$root/src/api/kvpolygon.def" \
  -static -static-libgcc -static-libstdc++ -ld3d9 -luser32 -ladvapi32 -Wl,--enable-stdcall-fixup 2>"$out/link.log" || {
  cat "$out/link.log" >&2
  exit 1
}
exports=$("$objdump" -p "$out/kvPolygon.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ {print $NF}' | grep -v Table | sort | tr '\n' ' ')
expected=$(printf '%s\n' create dispose setWindowSize loadTexture clearTextures makePolygon setupTextures \
  setupTranslate setupScale setupRotX setupRotY setupRotZ disposePolygon clearPolygons drawPaint | sort | tr '\n' ' ')
if [ "$exports" != "$expected" ]; then
  echo "error: kvPolygon.dll exports [$exports], expected [$expected]" >&2
  exit 1
fi
echo "kvPolygon.dll: 15 exports, imports: $("$objdump" -p "$out/kvPolygon.dll" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"
