#!/usr/bin/env bash
# Checks the Windows DLL after each link: it exports exactly the names of the
# module-definition file, undecorated; it imports only system DLLs (everything else,
# the C++ runtime, libjpeg-turbo, libpng and zlib included, is linked in); and the JPEG and
# PNG libraries are really there (their version strings). Prints what it found and the size.
#   scripts/check-windows-dll.sh kvPolygon.dll kvpolygon.def [objdump]
set -euo pipefail
dll=$1 def=$2 objdump=${3:-i686-w64-mingw32-objdump}
name=$(basename "$dll")
allowed_imports="ADVAPI32.dll KERNEL32.dll USER32.dll d3d9.dll msvcrt.dll"
headers=$("$objdump" -p "$dll")

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | awk '/\]/ {print $NF}' |
  grep -v Table | sort | tr '\n' ' ')
expected=$(sed -n '/^EXPORTS/,$p' "$def" | awk 'NR > 1 && NF {print $1}' | sort | tr '\n' ' ')
if [ "$exports" != "$expected" ]; then
  echo "error: $name exports [$exports], expected [$expected]" >&2
  exit 1
fi

imports=$(awk '/DLL Name/ {print $3}' <<<"$headers" | sort -u | tr '\n' ' ')
for dll_name in $imports; do
  if ! grep -qiw -- "$dll_name" <<<"$allowed_imports"; then
    echo "error: $name imports $dll_name; only system DLLs are allowed ($allowed_imports)" >&2
    exit 1
  fi
done

text=$(strings "$dll")
png_version=$(grep -m1 -oE 'libpng version [0-9.]+' <<<"$text" || true)
# libjpeg-turbo's message table holds its copyright line and its interface version.
jpeg_version=
if grep -q 'The libjpeg-turbo Project' <<<"$text"; then
  jpeg_version=$(grep -m1 -oE '^6b  [0-9]+-[A-Za-z]+-[0-9]+$' <<<"$text" | sed 's/^/libjpeg-turbo, interface /' || true)
fi
if [ -z "$png_version" ] || [ -z "$jpeg_version" ]; then
  echo "error: $name lacks the version string of libpng ('$png_version') or libjpeg-turbo ('$jpeg_version')" >&2
  exit 1
fi

echo "$name: $(wc -w <<<"$expected") exports; imports: $imports; $png_version, $jpeg_version; $(stat -c %s "$dll") bytes"
