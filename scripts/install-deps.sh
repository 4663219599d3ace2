#!/usr/bin/env bash
# Installs the Debian packages that a kind of build needs when run as root; otherwise names
# what is missing.
#   scripts/install-deps.sh [demo|test|windows|clang|fuzz|i386|bench]...   (default: test)
set -euo pipefail
library=(cmake make g++ pkg-config libjpeg62-turbo-dev libpng-dev zlib1g-dev)
# The Windows DLL: the cross compiler, zlib for it, and what builds libjpeg-turbo, libpng and
# GoogleTest from Debian's sources (scripts/build-windows-deps.sh).
windows=(g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev nasm googletest)
# 32-bit x86: gcc -m32 and the i386 packages of Debian's multiarch.
i386=(g++-multilib libjpeg62-turbo-dev:i386 libpng-dev:i386 zlib1g-dev:i386 libgtest-dev:i386
  libbenchmark-dev:i386)
# kvtex, the command-line tool, is built with the demo and with the tests.
tools=(libcli11-dev nlohmann-json3-dev libsquish-dev)
packages=()
for kind in "${@:-test}"; do
  case $kind in
    demo) packages+=("${library[@]}" "${tools[@]}") ;;
    test) packages+=("${library[@]}" "${tools[@]}" locales libgtest-dev libbenchmark-dev libstb-dev "${windows[@]}") ;;
    windows) packages+=(cmake make "${windows[@]}") ;;
    clang) packages+=("${library[@]}" libgtest-dev clang) ;;
    fuzz) packages+=("${library[@]}" clang libclang-rt-14-dev) ;;
    i386) packages+=("${library[@]}" "${tools[@]}" locales "${i386[@]}" libstb-dev "${windows[@]}") ;;
    bench) packages+=("${library[@]}" "${tools[@]}" libgtest-dev libbenchmark-dev libstb-dev libosmesa6-dev imagemagick) ;;  # Mesa's renderer and ImageMagick are the peers
    *) echo "error: unknown kind of build: $kind" >&2; exit 2 ;;
  esac
done
missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "error: missing Debian packages: ${missing[*]}" >&2
  echo "install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
