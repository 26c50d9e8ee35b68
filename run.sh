#!/usr/bin/env bash
# Builds quorvel and runs it. With no arguments it converts the bundled samples into out/samples/.
# Usage: ./run.sh [options] [file]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
"$here/scripts/install-deps.sh" build
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$here/build" --target quorvel
if [ $# -gt 0 ]; then
  exec "$here/build/quorvel" "$@"
fi
mkdir -p "$here/out/samples"
for sample in "$here"/samples/*.px "$here"/samples/*.a; do
  [ -e "$sample" ] || continue
  "$here/build/quorvel" "-out:$here/out/samples" "$sample"
done
echo "converted samples are in out/samples/"
