#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UBSan (build-asan/), the malformed-file
# end-to-end test included, then a short fuzz smoke run (5 seconds per target).
# Usage: scripts/test-sanitize.sh [fuzz-seconds-per-target]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

echo "== build and test (ASan + UBSan) =="
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
  -DQUORVEL_WERROR=ON >/dev/null
cmake --build "$here/build-asan"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs")

if command -v clang++ >/dev/null; then
  echo "== fuzz smoke run =="
  "$here/scripts/fuzz.sh" "${1:-5}"
else
  echo "clang++ not found: fuzz smoke run skipped" >&2
fi
