#!/usr/bin/env bash
# Installs the built project into a fresh prefix, then builds and runs the C consumer
# twice: found through the CMake package, and through pkg-config. No LD_LIBRARY_PATH: the
# installed libraries must find one another.
#   install_and_consume.sh <build folder> <work folder> [cmake -D options for the compilers]
set -euo pipefail
build=$1 work=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
unset LD_LIBRARY_PATH
prefix=$work/prefix
rm -rf "$prefix"
mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }

echo "== find_package"
cmake -S "$here/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" "$@" >/dev/null
cmake --build "$work/cmake"
"$work/cmake/consumer"

echo "== pkg-config"
cc=cc cflags=
for option in "$@"; do
  case $option in
    -DCMAKE_C_COMPILER=*) cc=${option#*=} ;;
    -DCMAKE_C_FLAGS=*) cflags=${option#*=} ;;
  esac
done
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name kvpolygon.pc)")
libdir=$(pkg-config --variable=libdir kvpolygon)
mkdir -p "$work/pkg-config"
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -o "$work/pkg-config/consumer" "$here/consumer/consumer.c" $(pkg-config --cflags --libs kvpolygon) \
  -Wl,-rpath,"$libdir"
"$work/pkg-config/consumer"
