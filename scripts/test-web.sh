#!/usr/bin/env bash
# Builds the browser page (scripts/build-web.sh), links the whole core for the browser (a
# platform function missing from its backend fails there), and tests it:
#   1. in Node, the WebAssembly module through the page's interface: its files byte-identical to
#      the native program's -png outputs for the samples and the writer's files, the malformed
#      corpus replayed through open, describe, png/files and member, the memory limit;
#   2. in headless Chromium (Debian's chromium, chromium-driver and python3-selenium): the page
#      itself, driven like a person would through its file input (tests/web/browser_test.py),
#      with a screenshot of the gallery in build-web/test-output/: filter, sort and a selection
#      against -only:, stale state and messages, the keyboard, long tasks while a generated game
#      archive opens and memory while a 1.5 GB sparse archive opens (bench/web_page.py).
# Without the tools (and not root to install them with apt-get) it prints SKIPPED and exits 0.
# Usage: scripts/test-web.sh
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
native="${QUORVEL_NATIVE_BUILD:-$here/build}"
out="$here/build-web/test-output"

note() { printf '%s\n' "$*"; }
# Debian's python3, which has Debian's Selenium and Pillow, ahead of any other on the PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

have_tools() {
  command -v emcc >/dev/null && command -v node >/dev/null && command -v npm >/dev/null &&
    command -v chromium >/dev/null && command -v chromedriver >/dev/null &&
    "$python" -c 'import selenium, PIL' 2>/dev/null
}
if ! have_tools && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
  note "installing emscripten, Node, Chromium, its driver, Selenium and Pillow with apt-get"
  export DEBIAN_FRONTEND=noninteractive
  pkgs=(emscripten chromium chromium-driver python3-selenium python3-pil)
  command -v node >/dev/null || pkgs+=(nodejs)
  command -v npm >/dev/null || pkgs+=(npm)
  apt-get update -qq >/dev/null && apt-get install -y -qq "${pkgs[@]}" >/dev/null
fi
if ! have_tools; then
  note "SKIPPED: browser tests need emscripten, node and npm, chromium, chromium-driver,"
  note "python3-selenium and python3-pil; install them, or run this script as root on"
  note "Debian/Ubuntu, to test the page."
  exit 0
fi

note "== browser build (emscripten) =="
"$here/scripts/build-web.sh" || exit 1
note "== every platform function the core needs, in the browser backend =="
NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs" \
  cmake --build "$here/build-web/cmake" --target quorvel-web-complete || exit 1
note "== native build (reference outputs) =="
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
fi
cmake --build "$native" --target quorvel quorvel-make-samples >/dev/null || exit 1

rm -rf "$out" && mkdir -p "$out/inputs" "$out/malformed"
"$native/quorvel-make-samples" "$out/inputs" || exit 1
"$native/quorvel-make-samples" --malformed "$out/malformed" || exit 1
# The command line's files for every input: blended, -raw and another background colour.
for variant in blended raw background; do
  case $variant in
    blended) switches=(-png) ;;
    raw) switches=(-png -raw) ;;
    background) switches=(-png -bgcolor:336699) ;;
  esac
  mkdir -p "$out/reference/$variant"
  for input in "$out"/inputs/*; do
    "$native/quorvel" "${switches[@]}" -out:"$out/reference/$variant" "$input" >/dev/null 2>&1
  done
done

# The members the page's filter test selects, as -only: writes them.
"$native/quorvel" -png '-only:*.px;*.wav' -out:"$out/reference/only" "$out/inputs/sample.a" >/dev/null 2>&1

note "== WebAssembly module in Node =="
QUORVEL_WEB="$here/build-web" QUORVEL_INPUTS="$out/inputs" QUORVEL_REFERENCE="$out/reference" \
  QUORVEL_MALFORMED="$out/malformed" node --test "$here/tests/web/module_test.js" || exit 1

note "== the page in headless Chromium =="
"$python" "$here/tests/web/browser_test.py" "$here/build-web" "$out" || exit 1
note "browser tests passed (screenshot: $out/gallery.png)"
