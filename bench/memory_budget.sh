#!/usr/bin/env bash
# Peak memory of a batch of large pictures with and without a memory budget: eight 8192 x 8192
# 32-bit run-stream pictures (made by quorvel-make-samples; each about 200 MB of file and a
# 192 MiB bitmap when blended) converted with -batch -jobs:8, with no budget (-memory:0), the
# default budget and -memory:600. Prints per setting the median over the rounds of the peak
# resident memory (/usr/bin/time) and of the wall time, and checks that every setting writes the
# same bytes.
# Usage: bench/memory_budget.sh [build folder] [rounds] [size]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-3}
size=${3:-8192}
for tool in quorvel quorvel-make-samples; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first (ninja -C $build)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "peak memory needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
"$build/quorvel-make-samples" --runs32 "$work/in/p0.px" "$size" "$size"
for i in 1 2 3 4 5 6 7; do cp "$work/in/p0.px" "$work/in/p$i.px"; done

. "$here/bench/timing.sh"

settings=("-memory:0" "default" "-memory:600")
declare -A peaks times
reference=""
for round in $(seq "$rounds"); do
  for setting in "${settings[@]}"; do
    rm -rf "$work/out"
    mkdir "$work/out"
    budget=()
    [ "$setting" = default ] || budget=("$setting")
    start=$(now)
    /usr/bin/time -f %M -o "$work/peak" "$build/quorvel" -batch -jobs:8 "${budget[@]}" \
      -out:"$work/out" "$work/in" >"$work/log"
    end=$(now)
    grep -q "^8 converted, 0 failed.$" "$work/log" || { cat "$work/log" >&2; exit 1; }
    sum=$(cat "$work"/out/in/p*.bmp | md5sum)
    [ -z "$reference" ] && reference=$sum
    [ "$sum" = "$reference" ] || { echo "$setting wrote other bytes" >&2; exit 1; }
    peaks[$setting]="${peaks[$setting]:-} $(cat "$work/peak")"
    times[$setting]="${times[$setting]:-} $((end - start))"
  done
  echo "round $round done" >&2
done
rm -rf "$work/out"
echo "eight ${size} x ${size} pictures, -batch -jobs:8, median of $rounds rounds:"
for setting in "${settings[@]}"; do
  # shellcheck disable=SC2086
  peak=$(median ${peaks[$setting]})
  # shellcheck disable=SC2086
  time=$(median ${times[$setting]})
  printf '  %-12s peak %6d MiB   wall %6.2f s\n' "$setting" $((peak / 1024)) \
    "$(awk -v t="$time" 'BEGIN { print t / 1e9 }')"
done
