#!/usr/bin/env bash
# PNG output against Pillow's PNG encoder with its default settings, on 4096 x 4096 32-bit plain
# pictures of two kinds (gradients; a sprite on transparent ground). Each round converts the
# picture with -png (blended, RGB) and -png -raw (RGBA), and, alternating with them, lets Pillow
# encode the same pixels. quorvel is timed as a whole process (reading the picture, decoding,
# encoding, writing); Pillow only for its save() of pixels already in memory. Prints per picture
# the median time ratio (quorvel / Pillow) and the size ratio of the files. With an earlier build
# folder, that build's quorvel runs in the same rounds too (its ratios printed as "earlier").
# The machine's load is printed before and after: compare ratios of one run only.
# The whole generated game in BMP and in PNG: bench/png_game.sh.
# Usage: bench/png_speed.sh [build folder] [rounds] [earlier build folder]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/timing.sh"
build=${1:-$here/build}
rounds=${2:-7}
earlier=${3:-}
size=4096
require_builds "$build" "$earlier"
find_pillow_python
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-png-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# pillow <mode> <out.png> <reference.png>: encodes what the reference PNG holds (the same pixels
# quorvel encoded, as Pillow reads them) and prints the nanoseconds save() took.
pillow() {
  "$python" - "$@" <<'EOF'
import sys, time
from PIL import Image
_, mode, out, reference = sys.argv
image = Image.open(reference).convert(mode)
image.load()
start = time.perf_counter_ns()
image.save(out, "PNG")
print(time.perf_counter_ns() - start)
EOF
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

echo "load before: $(uptime)"
for kind in plain32 sprite32; do
  px="$work/$kind.px"
  "$build/quorvel-make-samples" "--$kind" "$px" "$size" "$size"
  mkdir -p "$work/blended" "$work/raw" "$work/earlier" "$work/earlier-raw"
  # The reference pixels for Pillow.
  "$build/quorvel" -png "-out:$work/blended" "$px" >/dev/null
  "$build/quorvel" -png -raw "-out:$work/raw" "$px" >/dev/null
  cp "$work/blended/$kind.png" "$work/blended-ref.png"
  cp "$work/raw/$kind.png" "$work/raw-ref.png"
  times_png=() times_raw=() earlier_png=() earlier_raw=()
  for ((i = 0; i < rounds; i++)); do
    ours=$(timed "$build/quorvel" -png "-out:$work/blended" "$px")
    theirs=$(pillow RGB "$work/pillow-rgb.png" "$work/blended-ref.png")
    times_png+=("$(ratio "$ours" "$theirs")")
    ours_raw=$(timed "$build/quorvel" -png -raw "-out:$work/raw" "$px")
    theirs_raw=$(pillow RGBA "$work/pillow-rgba.png" "$work/raw-ref.png")
    times_raw+=("$(ratio "$ours_raw" "$theirs_raw")")
    line="-png $((ours / 1000000)) ms vs Pillow $((theirs / 1000000)) ms;"
    line+=" -png -raw $((ours_raw / 1000000)) ms vs Pillow $((theirs_raw / 1000000)) ms"
    if [ -n "$earlier" ]; then
      before=$(timed "$earlier/quorvel" -png "-out:$work/earlier" "$px")
      before_raw=$(timed "$earlier/quorvel" -png -raw "-out:$work/earlier-raw" "$px")
      earlier_png+=("$(ratio "$before" "$theirs")")
      earlier_raw+=("$(ratio "$before_raw" "$theirs_raw")")
      line+="; earlier $((before / 1000000)) ms, $((before_raw / 1000000)) ms"
    fi
    echo "$kind round $((i + 1)): $line"
  done
  png_size=$(stat -c %s "$work/blended/$kind.png") pillow_size=$(stat -c %s "$work/pillow-rgb.png")
  raw_size=$(stat -c %s "$work/raw/$kind.png") pillow_raw=$(stat -c %s "$work/pillow-rgba.png")
  echo "$kind: -png      median time ratio $(median "${times_png[@]}"), size $png_size vs" \
    "$pillow_size bytes (ratio $(ratio "$png_size" "$pillow_size"))"
  echo "$kind: -png -raw median time ratio $(median "${times_raw[@]}"), size $raw_size vs" \
    "$pillow_raw bytes (ratio $(ratio "$raw_size" "$pillow_raw"))"
  if [ -n "$earlier" ]; then
    before_size=$(stat -c %s "$work/earlier/$kind.png")
    before_raw_size=$(stat -c %s "$work/earlier-raw/$kind.png")
    echo "$kind: earlier -png      median time ratio $(median "${earlier_png[@]}"), size ratio" \
      "$(ratio "$before_size" "$pillow_size")"
    echo "$kind: earlier -png -raw median time ratio $(median "${earlier_raw[@]}"), size ratio" \
      "$(ratio "$before_raw_size" "$pillow_raw")"
  fi
done
echo "load after: $(uptime)"
