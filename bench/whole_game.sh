#!/usr/bin/env bash
# A whole game converted by quorvel next to `tar -xf` of a tar holding the same output files (the
# cost of writing the outputs alone). The writer makes the game: archives of 150 members each
# (800 x 600 pictures with LZSS and the pixel delta, layered sprites, tiled sheets, sounds,
# texts; about 60 MiB each) and ten loose 800 x 600 pictures. Rounds alternate; the medians of
# the wall-clock times are printed with their ratios:
#   archive   one archive as a single run (its members side by side), against tar
#   batch     -batch of the whole game folder, against tar
#   jobs      -batch with -jobs:1 against -jobs:2 (the speed-up)
# Usage: bench/whole_game.sh [rounds] [archives]   (default: 5 rounds, 4 archives)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
archives=${2:-4}
build="$here/build"
. "$here/bench/timing.sh"
ensure_built "$build"
quorvel="$build/quorvel"

work=$(mktemp -d "${BENCH_DIR:-$build}/game-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/tmp"
"$build/quorvel-make-samples" --game "$work/game" "$archives"
echo "game: $(du -sh "$work/game" | cut -f1) in $(ls "$work/game" | wc -l) files"

# The outputs once, as the tars to extract.
export TMPDIR="$work/tmp"
"$quorvel" -batch -out:"$work/reference" "$work/game" >/dev/null
tar -cf "$work/archive.tar" -C "$work/reference/game" data000
tar -cf "$work/batch.tar" -C "$work/reference" game
echo "outputs: archive $(du -sh "$work/reference/game/data000" | cut -f1)," \
  "batch $(du -sh "$work/reference" | cut -f1)"

now() { date +%s%N; }
# Runs a command with a fresh output folder $work/out and prints its wall-clock nanoseconds.
timed() {
  rm -rf "$work/out" && mkdir -p "$work/out" && sync
  local start
  start=$(now)
  "$@" >/dev/null
  echo $(($(now) - start))
}
median() {
  sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

declare -a qa ta qb tb j1 j2
for round in $(seq 1 "$rounds"); do
  qa+=("$(timed "$quorvel" -out:"$work/out" "$work/game/data000.a")")
  ta+=("$(timed tar -xf "$work/archive.tar" -C "$work/out")")
  qb+=("$(timed "$quorvel" -batch -out:"$work/out" "$work/game")")
  tb+=("$(timed tar -xf "$work/batch.tar" -C "$work/out")")
  j1+=("$(timed "$quorvel" -batch -jobs:1 -out:"$work/out" "$work/game")")
  j2+=("$(timed "$quorvel" -batch -jobs:2 -out:"$work/out" "$work/game")")
  printf 'round %d: archive %d ms / tar %d ms, batch %d ms / tar %d ms, jobs:1 %d ms, jobs:2 %d ms\n' \
    "$round" $((qa[-1] / 1000000)) $((ta[-1] / 1000000)) $((qb[-1] / 1000000)) \
    $((tb[-1] / 1000000)) $((j1[-1] / 1000000)) $((j2[-1] / 1000000))
done
# The last batch wrote what the reference run wrote.
diff -r "$work/out/game" "$work/reference/game" >/dev/null || { echo "outputs differ" >&2; exit 1; }
[ -z "$(ls -A "$work/tmp")" ] || { echo "temporary files left behind" >&2; exit 1; }

m() { printf '%s\n' "$@" | median; }
report() { awk -v a="$2" -v b="$3" -v n="$1" 'BEGIN { printf "%-28s %8.0f ms %8.0f ms  ratio %.2f\n", n, a / 1e6, b / 1e6, a / b }'; }
echo "medians of $rounds rounds:"
report "archive: quorvel / tar" "$(m "${qa[@]}")" "$(m "${ta[@]}")"
report "batch: quorvel / tar" "$(m "${qb[@]}")" "$(m "${tb[@]}")"
report "batch: jobs:1 / jobs:2" "$(m "${j1[@]}")" "$(m "${j2[@]}")"
