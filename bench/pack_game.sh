#!/usr/bin/env bash
# Packing one archive of the generated game next to extracting it, in the same rounds: the writer
# makes the game (archives of 150 members, about 60 MiB: 800 x 600 pictures, layered sprites,
# tiled sheets, sounds, texts); each round extracts data000.a with -raw into a fresh folder and
# packs that folder back into a fresh archive, both with the run's default threads. The medians
# of the wall-clock times are printed with their ratio, and the packed archive's size next to the
# original's.
# Usage: bench/pack_game.sh [rounds]   (default: 5)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
build="$here/build"
. "$here/bench/timing.sh"
ensure_built "$build"
quorvel="$build/quorvel"

work=$(mktemp -d "${BENCH_DIR:-$build}/pack-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/tmp"
"$build/quorvel-make-samples" --game "$work/game" 1 >/dev/null
export TMPDIR="$work/tmp"
"$quorvel" -raw -out:"$work/folder" "$work/game/data000.a" >/dev/null
echo "archive: $(du -h "$work/game/data000.a" | cut -f1), extracted: $(du -sh "$work/folder/data000" | cut -f1)"

# The wall-clock nanoseconds of a command, after removing what it writes ($1).
timedAfresh() {
  rm -rf "$1" && sync
  shift
  timed "$@"
}

declare -a extract pack
for round in $(seq 1 "$rounds"); do
  extract+=("$(timedAfresh "$work/out/data000" "$quorvel" -raw -out:"$work/out" "$work/game/data000.a")")
  pack+=("$(timedAfresh "$work/packed/data000.a" "$quorvel" -pack -out:"$work/packed" "$work/folder/data000")")
  printf 'round %d: extract %d ms, pack %d ms\n' "$round" $((extract[-1] / 1000000)) \
    $((pack[-1] / 1000000))
done
e=$(median "${extract[@]}")
p=$(median "${pack[@]}")
awk -v e="$e" -v p="$p" 'BEGIN { printf "median: extract %.0f ms, pack %.0f ms, pack / extract %.1f x\n",
  e / 1e6, p / 1e6, p / e }'
echo "sizes: original $(stat -c %s "$work/game/data000.a") bytes, packed $(stat -c %s "$work/packed/data000.a") bytes"
