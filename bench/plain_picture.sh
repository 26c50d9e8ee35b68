#!/usr/bin/env bash
# Converts a 4096 x 4096 32-bit plain picture, blended and with -raw, and copies a file of the
# same size with cp, alternating, and prints the median ratio (conversion time / copy time).
# cp copies inside the kernel (copy_file_range) without the bytes ever reaching user memory; the
# same copy with dd (read and write through a user buffer, as the conversion must) is shown too.
# Usage: bench/plain_picture.sh [build folder] [rounds]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-11}
for tool in quorvel quorvel-make-samples; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first (ninja -C $build)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/quorvel-make-samples" --plain32 "$work/big.px" 4096 4096
cp "$work/big.px" "$work/same-size.bin"

. "$here/bench/timing.sh"

blended=()
raw=()
versusDd=()
for ((i = 0; i < rounds; i++)); do
  rm -f "$work/big.bmp" "$work/copy.bin"
  convert=$(timed "$build/quorvel" "$work/big.px")
  rm -f "$work/copy.bin"
  copy=$(timed cp "$work/same-size.bin" "$work/copy.bin")
  blended+=("$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.3f", a / b }')")
  rm -f "$work/big.bmp" "$work/copy.bin"
  convert=$(timed "$build/quorvel" -raw "$work/big.px")
  rm -f "$work/copy.bin"
  copy=$(timed cp "$work/same-size.bin" "$work/copy.bin")
  raw+=("$(awk -v a="$convert" -v b="$copy" 'BEGIN { printf "%.3f", a / b }')")
  rm -f "$work/copy.bin"
  dd=$(timed dd if="$work/same-size.bin" of="$work/copy.bin" bs=4M status=none)
  versusDd+=("$(awk -v a="$convert" -v b="$dd" 'BEGIN { printf "%.3f", a / b }')")
  echo "round $((i + 1)): blended ${blended[-1]}  raw ${raw[-1]}  raw/dd ${versusDd[-1]}" \
    "(cp $((copy / 1000000)) ms, dd $((dd / 1000000)) ms)"
done
echo "input $(stat -c %s "$work/big.px") bytes, $rounds rounds"
echo "median ratio conversion / cp: blended $(median "${blended[@]}")  raw $(median "${raw[@]}")"
echo "median ratio raw conversion / dd bs=4M: $(median "${versusDd[@]}")"
