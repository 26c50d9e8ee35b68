#!/usr/bin/env bash
# Packing one archive of the generated game next to extracting it, in the same rounds: the writer
# makes the game (archives of 150 members, about 60 MiB: 800 x 600 pictures, layered sprites,
# tiled sheets, sounds, texts); each round extracts data000.a with -raw into a fresh folder and
# packs that folder back into a fresh archive, both with the run's default threads. The medians
# of the wall-clock and of the processor (user + system) times are printed with their ratios, and
# the packed archive's size next to the original's.
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

# "wall cpu" of a command in seconds (cpu: user + system), after removing what it writes ($1).
timedAfresh() {
  rm -rf "$1" && sync
  shift
  local times
  times=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}
middle() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -a extract_wall extract_cpu pack_wall pack_cpu
for round in $(seq 1 "$rounds"); do
  read -r wall cpu < <(timedAfresh "$work/out/data000" "$quorvel" -raw -out:"$work/out" "$work/game/data000.a")
  extract_wall+=("$wall") extract_cpu+=("$cpu")
  read -r wall cpu < <(timedAfresh "$work/packed/data000.a" "$quorvel" -pack -out:"$work/packed" "$work/folder/data000")
  pack_wall+=("$wall") pack_cpu+=("$cpu")
  printf 'round %d: extract %s s (cpu %s), pack %s s (cpu %s)\n' "$round" "${extract_wall[-1]}" \
    "${extract_cpu[-1]}" "$wall" "$cpu"
done
ew=$(middle "${extract_wall[@]}") ec=$(middle "${extract_cpu[@]}")
pw=$(middle "${pack_wall[@]}") pc=$(middle "${pack_cpu[@]}")
# Extraction writes into the page cache and its wall time swings with it from run to run; the
# processor times are the steadier pair.
awk -v ew="$ew" -v ec="$ec" -v pw="$pw" -v pc="$pc" 'BEGIN {
  printf "median: extract %.0f ms (cpu %.0f), pack %.0f ms (cpu %.0f), pack / extract %.1f x wall, %.1f x cpu\n",
    ew * 1000, ec * 1000, pw * 1000, pc * 1000, pw / ew, pc / ec }'
echo "sizes: original $(stat -c %s "$work/game/data000.a") bytes, packed $(stat -c %s "$work/packed/data000.a") bytes"
