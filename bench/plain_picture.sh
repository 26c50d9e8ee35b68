#!/usr/bin/env bash
# Converts one 4096 x 4096 32-bit picture of each sub-format (plain, layered, run stream, tiled
# 0x0B and 0x0C, made by quorvel-make-samples), blended and with -raw, each run followed by a cp
# of the same input file, and prints per sub-format and mode the median ratio conversion time /
# cp time over all rounds, and the peak memory (maximum resident set, /usr/bin/time) of a
# conversion. Whole-process times, rounds alternating, so that a noisy machine hits every
# command alike; before each timed command the file system's dirty pages are written out.
# Given a second quorvel (an earlier build), it runs in the same rounds beside the first, and the
# medians of its ratios, of the per-round ratio new / old and its peak memory are shown too.
# cp copies inside the kernel (copy_file_range) without the bytes ever reaching user memory; for
# the plain picture with -raw the same copy through a user buffer (dd bs=4M) is shown too.
# Usage: bench/plain_picture.sh [build folder] [rounds] [earlier quorvel binary]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-11}
earlier=${3:-}
for tool in quorvel quorvel-make-samples; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first (ninja -C $build)" >&2; exit 1; }
done
[ -z "$earlier" ] || [ -x "$earlier" ] || { echo "$earlier is not a program" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "peak memory needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
kinds=(plain32 layered32 runs32 tiles0b tiles0c)
modes=(blended raw)
for kind in "${kinds[@]}"; do
  "$build/quorvel-make-samples" "--$kind" "$work/$kind.px" 4096 4096
done

. "$here/bench/timing.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
modeSwitch() { [ "$1" = raw ] && echo -raw || true; }
# Files written by the previous command are flushed first, so that no command pays for another's
# writeback.
settle() { sync -f "$work" 2>/dev/null || sync; }
# Nanoseconds of one conversion (its output removed before and after).
convertTime() {
  local program=$1 kind=$2 mode=$3 time
  rm -f "$work/$kind.bmp"
  settle
  # shellcheck disable=SC2046
  time=$(timed "$program" $(modeSwitch "$mode") "$work/$kind.px")
  [ -s "$work/$kind.bmp" ] || { echo "$program wrote no $kind.bmp" >&2; exit 1; }
  rm -f "$work/$kind.bmp"
  echo "$time"
}
copyTime() {
  local time
  rm -f "$work/copy.bin"
  settle
  time=$(timed cp "$work/$1.px" "$work/copy.bin")
  rm -f "$work/copy.bin"
  echo "$time"
}
# Peak resident memory of one conversion in KiB, the median of three runs.
peakMemory() {
  local program=$1 kind=$2 mode=$3 runs=()
  for _ in 1 2 3; do
    # shellcheck disable=SC2046
    runs+=("$(/usr/bin/time -f %M "$program" $(modeSwitch "$mode") "$work/$kind.px" 2>&1 \
      >/dev/null | tail -n 1)")
    rm -f "$work/$kind.bmp"
  done
  median "${runs[@]}"
}

declare -A now before versus
versusDd=()
for ((i = 0; i < rounds; i++)); do
  for kind in "${kinds[@]}"; do
    for mode in "${modes[@]}"; do
      convert=$(convertTime "$build/quorvel" "$kind" "$mode")
      copy=$(copyTime "$kind")
      now[$kind.$mode]+=" $(ratio "$convert" "$copy")"
      if [ "$kind.$mode" = plain32.raw ]; then
        rm -f "$work/copy.bin"
        settle
        dd=$(timed dd if="$work/$kind.px" of="$work/copy.bin" bs=4M status=none)
        rm -f "$work/copy.bin"
        versusDd+=("$(ratio "$convert" "$dd")")
      fi
      if [ -n "$earlier" ]; then
        old=$(convertTime "$earlier" "$kind" "$mode")
        copy=$(copyTime "$kind")
        before[$kind.$mode]+=" $(ratio "$old" "$copy")"
        versus[$kind.$mode]+=" $(ratio "$convert" "$old")"
      fi
    done
  done
  echo "round $((i + 1)) of $rounds done" >&2
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(uname -sr)"
echo "command: bench/plain_picture.sh $build $rounds${earlier:+ $earlier}"
echo "pictures 4096 x 4096, $rounds rounds; times are medians of the per-round ratios to cp of the" \
  "same input; peak memory the median of 3 runs"
if [ -n "$earlier" ]; then
  printf '%-10s %-8s %9s %9s %9s %11s %11s\n' picture mode new/cp old/cp new/old "peak new" \
    "peak old"
else
  printf '%-10s %-8s %9s %11s\n' picture mode time/cp "peak"
fi
for kind in "${kinds[@]}"; do
  for mode in "${modes[@]}"; do
    # shellcheck disable=SC2086
    newRatio=$(median ${now[$kind.$mode]})
    newPeak=$(($(peakMemory "$build/quorvel" "$kind" "$mode") / 1024))
    if [ -n "$earlier" ]; then
      # shellcheck disable=SC2086
      printf '%-10s %-8s %9s %9s %9s %7s MiB %7s MiB\n' "$kind" "$mode" "$newRatio" \
        "$(median ${before[$kind.$mode]})" "$(median ${versus[$kind.$mode]})" "$newPeak" \
        "$(($(peakMemory "$earlier" "$kind" "$mode") / 1024))"
    else
      printf '%-10s %-8s %9s %7s MiB\n' "$kind" "$mode" "$newRatio" "$newPeak"
    fi
  done
done
echo "input of plain32 $(stat -c %s "$work/plain32.px") bytes; plain32 -raw / dd bs=4M:" \
  "$(median "${versusDd[@]}")"
