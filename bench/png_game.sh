#!/usr/bin/env bash
# The whole generated game (quorvel-make-samples --game: loose pictures and archives of pictures,
# sounds and texts) converted with -batch into BMP files and with -batch -png -raw into PNG files,
# in the same rounds, and with an earlier build folder that build's -batch -png -raw too. Prints
# per round and as medians the wall-clock and processor (user + system) seconds of each run, the
# ratio PNG / BMP, and the PNG files' total size against the earlier build's and against Pillow's
# default save of the same pixels (every PNG of the run read and saved again by Pillow, timed for
# its save() alone). The machine's load is printed before and after: compare ratios of one run.
# Usage: bench/png_game.sh [build folder] [rounds] [earlier build folder] [archives]
#        (default: build, 5 rounds, no earlier build, 6 archives: 16 inputs, about 550 MB of
#        pictures once decoded)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/timing.sh"
build=${1:-$here/build}
rounds=${2:-5}
earlier=${3:-}
archives=${4:-6}
require_builds "$build" "$earlier"
find_pillow_python
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-png-game-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game"
"$build/quorvel-make-samples" --game "$work/game" "$archives" >/dev/null
echo "game: $(du -sh "$work/game" | cut -f1) in $(ls "$work/game" | wc -l) inputs"

# run <label> <command...>: converts into a fresh $work/<label> and prints "wall cpu" seconds.
run() {
  local label=$1 times
  shift
  rm -rf "${work:?}/$label" && mkdir -p "$work/$label"
  times=$( { TIMEFORMAT='%R %U %S'; time "$@" -out:"$work/$label" "$work/game" >/dev/null; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" -v d="${3:-2}" 'BEGIN { printf "%.*f", d, a / b }'; }
png_bytes() { find "$1" -name '*.png' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }

echo "load before: $(uptime)"
bmp_wall=() bmp_cpu=() png_wall=() png_cpu=() old_wall=() old_cpu=()
for ((i = 1; i <= rounds; i++)); do
  read -r wall cpu < <(run bmp "$build/quorvel" -batch)
  bmp_wall+=("$wall") bmp_cpu+=("$cpu")
  read -r wall cpu < <(run png "$build/quorvel" -batch -png -raw)
  png_wall+=("$wall") png_cpu+=("$cpu")
  line="BMP ${bmp_wall[-1]} s (cpu ${bmp_cpu[-1]}), PNG $wall s (cpu $cpu)"
  if [ -n "$earlier" ]; then
    read -r wall cpu < <(run earlier "$earlier/quorvel" -batch -png -raw)
    old_wall+=("$wall") old_cpu+=("$cpu")
    line+=", earlier PNG $wall s (cpu $cpu)"
  fi
  echo "round $i: $line"
done
echo "load after: $(uptime)"

bw=$(median "${bmp_wall[@]}") bc=$(median "${bmp_cpu[@]}")
pw=$(median "${png_wall[@]}") pc=$(median "${png_cpu[@]}")
echo "medians: BMP $bw s (cpu $bc), PNG $pw s (cpu $pc): PNG / BMP $(ratio "$pw" "$bw") wall," \
  "$(ratio "$pc" "$bc") cpu"
if [ -n "$earlier" ]; then
  ow=$(median "${old_wall[@]}") oc=$(median "${old_cpu[@]}")
  echo "earlier: PNG $ow s (cpu $oc): PNG / BMP $(ratio "$ow" "$bw") wall;" \
    "this build / earlier $(ratio "$pw" "$ow") wall, $(ratio "$pc" "$oc") cpu"
fi

ours=$(png_bytes "$work/png")
pillow=$("$python" - "$work/png" <<'EOF_PY'
import io, os, sys, time
from PIL import Image
total = seconds = 0
for folder, _, names in os.walk(sys.argv[1]):
    for name in names:
        if name.endswith(".png"):
            image = Image.open(os.path.join(folder, name))
            image.load()
            out = io.BytesIO()
            start = time.perf_counter()
            image.save(out, "PNG")
            seconds += time.perf_counter() - start
            total += out.tell()
print(total, "%.2f" % seconds)
EOF_PY
)
read -r pillow_bytes pillow_seconds <<<"$pillow"
echo "PNG total: $ours bytes; Pillow $pillow_bytes bytes (ratio $(ratio "$ours" "$pillow_bytes" 3)," \
  "its save() took $pillow_seconds s on one thread)"
if [ -n "$earlier" ]; then
  before=$(png_bytes "$work/earlier")
  echo "earlier PNG total: $before bytes (this build / earlier $(ratio "$ours" "$before" 3))"
fi
