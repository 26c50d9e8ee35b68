#!/usr/bin/env bash
# Builds the browser page into build-web/: index.html, its style and scripts, quorvel-wasm.js and
# quorvel-wasm.wasm (the core compiled with emscripten), fflate.js (the zip writer, from npm).
# As root on Debian/Ubuntu it installs what is missing with apt-get. Serve the folder with
# scripts/serve-web.sh.
#
# zlib for WebAssembly is compiled from the Debian source package of the very zlib version that
# the native build links (zlib1g-dev), fetched with apt-get through a private source list: the
# same deflate code makes the page's PNG files byte-identical to the command line's, and Debian's
# archive is reachable wherever the packages are (emscripten's own zlib port downloads from
# elsewhere). libspng, which reads PNG input, and libdeflate, which compresses PNG output, are
# compiled the same way from the sources of the versions the native build links (libspng-dev,
# libdeflate-dev).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/build-web"
mkdir -p "$out"

# --- tools ------------------------------------------------------------------------------------
need=()
command -v emcc >/dev/null || need+=(emscripten)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
dpkg-query -W -f='${Status}' zlib1g-dev 2>/dev/null | grep -q 'install ok installed' ||
  need+=(zlib1g-dev)
dpkg-query -W -f='${Status}' libstb-dev 2>/dev/null | grep -q 'install ok installed' ||
  need+=(libstb-dev)
dpkg-query -W -f='${Status}' libspng-dev 2>/dev/null | grep -q 'install ok installed' ||
  need+=(libspng-dev)
dpkg-query -W -f='${Status}' libdeflate-dev 2>/dev/null | grep -q 'install ok installed' ||
  need+=(libdeflate-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing ${need[*]} with apt-get"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null && apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "missing: ${need[*]}; install them, or run this script as root on Debian/Ubuntu" >&2
    exit 1
  fi
fi
# Debian's emscripten runs its JavaScript tools with the system node, which may not look in
# Debian's own module folder (acorn).
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

# --- zlib, libspng and libdeflate -----------------------------------------------------------
zlib_dir="$out/zlib"
if [ ! -f "$zlib_dir/source/libz.a" ] ||
  [ "$(cat "$zlib_dir/version" 2>/dev/null)" != "$(dpkg-query -W -f='${Version}' zlib1g-dev)" ]; then
  "$here/scripts/debian-source.sh" zlib zlib1g-dev "$zlib_dir"
  (cd "$zlib_dir/source" && CHOST=wasm32 emconfigure ./configure --static >/dev/null &&
    emmake make -s libz.a >/dev/null)
fi
spng_dir="$out/libspng"
"$here/scripts/debian-source.sh" libspng libspng-dev "$spng_dir"
deflate_dir="$out/libdeflate"
"$here/scripts/debian-source.sh" libdeflate libdeflate-dev "$deflate_dir"

# --- fflate -----------------------------------------------------------------------------------
if [ ! -f "$out/fflate.js" ]; then
  echo "== fflate from npm =="
  rm -rf "$out/npm" && mkdir -p "$out/npm"
  (cd "$out/npm" && npm pack --silent fflate@0.8 >/dev/null && tar -xzf fflate-*.tgz)
  cp "$out/npm/package/umd/index.js" "$out/fflate.js"
  cp "$out/npm/package/LICENSE" "$out/fflate-LICENSE.txt"
fi

# --- the module and the page ------------------------------------------------------------------
echo "== WebAssembly build (emscripten) =="
emcmake cmake -S "$here" -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF \
  -DQUORVEL_WERROR=ON -DZLIB_INCLUDE_DIR="$zlib_dir/source" \
  -DZLIB_LIBRARY="$zlib_dir/source/libz.a" -DQUORVEL_SPNG_SOURCE="$spng_dir/source/spng" \
  -DQUORVEL_LIBDEFLATE_SOURCE="$deflate_dir/source" >/dev/null
cmake --build "$out/cmake" --target quorvel-web
cp "$out/cmake/web/quorvel-wasm.js" "$out/cmake/web/quorvel-wasm.wasm" "$out/"
cp "$here/web/index.html" "$here/web/style.css" "$here/web/quorvel.js" "$here/web/page.js" \
  "$here/web/worker.js" "$out/"
echo "built $out (serve it with scripts/serve-web.sh)"
