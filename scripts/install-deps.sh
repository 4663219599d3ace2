#!/usr/bin/env bash
# Installs the Debian packages the build needs when run as root; otherwise names what is missing.
set -euo pipefail
# libstb-dev is for benchmarks only: stb_dxt.h and stb_image_resize.h are baselines there.
packages=(cmake make g++ pkg-config libjpeg62-turbo-dev libpng-dev zlib1g-dev libgtest-dev libbenchmark-dev g++-mingw-w64-i686 libstb-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "error: missing Debian packages: ${missing[*]}" >&2
  echo "install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
