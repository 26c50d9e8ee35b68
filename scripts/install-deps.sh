#!/usr/bin/env bash
# Installs what building and testing need, with apt-get, when run as root on Debian/Ubuntu.
# Usage: scripts/install-deps.sh [build|test]
set -u
# libdeflate (PNG output), zlib and stb_image_write are compiled into the program, libspng reads
# PNG input.
want=(cmake ninja-build g++ make zlib1g-dev libdeflate-dev libstb-dev libspng-dev)
[ "${1:-build}" = test ] && want+=(libgtest-dev libbenchmark-dev clang libclang-rt-dev python3-pil libpng-dev)
missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
  echo "missing packages: ${missing[*]} (install them, or run this as root on Debian/Ubuntu)" >&2
  exit 0
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null && apt-get install -y -qq "${missing[@]}" >/dev/null
