#!/usr/bin/env bash
# Builds quorvel and runs every test:
#   1. the unit and end-to-end suite (release build, warnings as errors);
#   2. the same suite under AddressSanitizer and UBSan, then a short fuzz smoke run;
#   3. the Windows build under Wine (skipped, with a message, where mingw-w64 or Wine is missing
#      and cannot be installed);
#   4. the browser page: the WebAssembly build in Node and the page in headless Chromium (skipped,
#      with a message, where emscripten or Chromium is missing and cannot be installed).
# Any failing step fails the whole command.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
"$here/scripts/install-deps.sh" test

echo "== build and test (release) =="
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON >/dev/null
cmake --build "$here/build"
(cd "$here/build" && ctest --output-on-failure -j "$jobs")

"$here/scripts/test-sanitize.sh" 5

"$here/scripts/test-windows.sh"

echo "== browser page (WebAssembly, headless Chromium) =="
"$here/scripts/test-web.sh"
echo "== all tests passed =="
