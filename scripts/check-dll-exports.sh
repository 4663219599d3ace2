#!/usr/bin/env bash
# Checks that a DLL exports exactly the names of a module-definition file, undecorated.
#   scripts/check-dll-exports.sh kvPolygon.dll kvpolygon.def [objdump]
set -euo pipefail
dll=$1 def=$2 objdump=${3:-i686-w64-mingw32-objdump}
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ {print $NF}' |
  grep -v Table | sort | tr '\n' ' ')
expected=$(sed -n '/^EXPORTS/,$p' "$def" | awk 'NR > 1 && NF {print $1}' | sort | tr '\n' ' ')
if [ "$exports" != "$expected" ]; then
  echo "error: $(basename "$dll") exports [$exports], expected [$expected]" >&2
  exit 1
fi
echo "$(basename "$dll"): $(echo "$expected" | wc -w) exports, imports: $("$objdump" -p "$dll" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"
