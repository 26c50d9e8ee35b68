#!/usr/bin/env bash
# Cross-builds the Windows executable build-win/quorvel.exe with mingw-w64 (installed with
# apt-get when missing and run as root on Debian/Ubuntu). The .exe needs no DLLs beside it.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v x86_64-w64-mingw32-g++ >/dev/null || ! command -v cmake >/dev/null ||
  ! command -v ninja >/dev/null || ! command -v dpkg-source >/dev/null ||
  ! dpkg-query -W -f='${Status}' libspng-dev 2>/dev/null | grep -q 'install ok installed' ||
  ! dpkg-query -W -f='${Status}' libdeflate-dev 2>/dev/null | grep -q 'install ok installed'; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing mingw-w64, cmake and ninja with apt-get"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null && apt-get install -y -qq g++-mingw-w64-x86-64 cmake ninja-build dpkg-dev libspng-dev libdeflate-dev >/dev/null
  else
    echo "missing: mingw-w64 (g++-mingw-w64-x86-64), cmake or ninja; install them or run as root" >&2
    exit 1
  fi
fi
# The tests of build-win (scripts/test-windows.sh) need the GoogleTest sources; without them the
# program alone is configured.
tests=OFF
[ -f /usr/src/googletest/CMakeLists.txt ] && tests=ON
# libspng (PNG input) from Debian's source of the version the Linux build links.
"$here/scripts/debian-source.sh" libspng libspng-dev "$here/build-win-libspng"
# libdeflate (PNG output's deflate) likewise, so that the PNG files are the Linux build's bytes.
"$here/scripts/debian-source.sh" libdeflate libdeflate-dev "$here/build-win-libdeflate"
cmake -S "$here" -B "$here/build-win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=$tests \
  -DQUORVEL_SPNG_SOURCE="$here/build-win-libspng/source/spng" \
  -DQUORVEL_LIBDEFLATE_SOURCE="$here/build-win-libdeflate/source" >/dev/null
cmake --build "$here/build-win" --target quorvel
echo "built $here/build-win/quorvel.exe"
