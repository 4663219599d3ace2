#!/usr/bin/env bash
# Builds libjpeg-turbo (interface version 62) and libpng as static libraries for 32-bit
# Windows, from Debian's own source packages, with the MinGW-w64 toolchain of the DLL build;
# zlib is Debian's libz-mingw-w64-dev. The sources are fetched through a private apt
# configuration kept in the cache folder, so the machine's apt sources are not changed.
# A finished prefix is reused as it is: a second run builds nothing.
#   scripts/build-windows-deps.sh [cache folder]      (default: build-windows-deps)
# The static libraries and headers land in <cache folder>/prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$(mkdir -p "${1:-$root/build-windows-deps}" && cd "${1:-$root/build-windows-deps}" && pwd)
prefix=$cache/prefix
stamp=$prefix/.complete
suite=bookworm
packages=(libjpeg-turbo libpng1.6)
mingw_root=/usr/i686-w64-mingw32

[ -f "$stamp" ] && exit 0

fail() { echo "error: $*" >&2; exit 1; }
[ -f "$mingw_root/lib/libz.a" ] || fail "zlib for i686 Windows is missing (Debian package libz-mingw-w64-dev)"
command -v dpkg-source >/dev/null || fail "dpkg-source is missing (Debian package dpkg-dev)"
command -v nasm >/dev/null || fail "nasm is missing (Debian package nasm): libjpeg-turbo's SIMD code needs it"

# Source packages through apt, with lists and archives of our own.
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/parts"
echo "deb-src http://deb.debian.org/debian $suite main" >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::Archives=$apt_dir/archives"
  -o "APT::Sandbox::User=root" -o "Debug::NoLocking=1")
src=$cache/src
mkdir -p "$src"
if ! ls -d "$src"/libjpeg-turbo-*/ "$src"/libpng1.6-*/ >/dev/null 2>&1; then
  echo "fetching Debian sources: ${packages[*]} ($suite)"
  apt-get "${apt_opts[@]}" -qq update || fail "apt-get update of the private deb-src list failed"
  (cd "$src" && apt-get "${apt_opts[@]}" -qq source "${packages[@]/%//$suite}" >/dev/null) ||
    fail "apt-get source ${packages[*]} failed"
fi
jpeg_src=$(ls -d "$src"/libjpeg-turbo-*/ | head -n 1)
png_src=$(ls -d "$src"/libpng1.6-*/ | head -n 1)

toolchain=$root/cmake/mingw-i686.cmake
jobs=${JOBS:-$(nproc)}
configure_and_install() {  # name source-folder cmake-options...
  local name=$1 from=$2
  shift 2
  local work=$cache/work/$name
  rm -rf "$work"
  echo "building $name for i686 Windows"
  cmake -S "$from" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$cache/$name.log" 2>&1 ||
    { cat "$cache/$name.log" >&2; fail "configuring $name failed"; }
  cmake --build "$work" -j "$jobs" >>"$cache/$name.log" 2>&1 ||
    { tail -n 40 "$cache/$name.log" >&2; fail "building $name failed"; }
  cmake --install "$work" >>"$cache/$name.log" 2>&1 || fail "installing $name failed"
}

rm -rf "$prefix"
configure_and_install libjpeg-turbo "$jpeg_src" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
configure_and_install libpng "$png_src" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR="$mingw_root/include" -DZLIB_LIBRARY="$mingw_root/lib/libz.a"
touch "$stamp"
echo "Windows libraries ready in $prefix"
