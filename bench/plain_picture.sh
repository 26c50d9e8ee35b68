#!/usr/bin/env bash
# Converts one 4096 x 4096 32-bit picture of each sub-format (plain, layered, run stream, tiled
# 0x0B and 0x0C, made by quorvel-make-samples), a type 0x0B series of 64 images of 512 x 512 and
# one archive of the generated game, blended and with -raw, each run followed by the baseline of
# the same work: reading the input and copying the files the conversion wrote
# (`cat file.px >/dev/null; cp out.bmp copy.bmp`, `cp -r` of the series' folder of images), the
# input and output work no converter can avoid; for the archive `tar -xf` of a tar of its
# outputs. Prints per input and mode the median ratio conversion time / baseline time over all
# rounds, and the peak memory (maximum resident set, /usr/bin/time) of a conversion.
# Whole-process times, rounds alternating, so that a noisy machine hits every command alike;
# before each timed command the file system's dirty pages are written out.
# Given a second quorvel (an earlier build), it runs in the same rounds beside the first, and the
# medians of its ratios, of the per-round ratio new / old and its peak memory are shown too.
# Usage: bench/plain_picture.sh [build folder] [rounds] [earlier quorvel binary]
# QUORVEL_BENCH_KINDS (words out of the kinds below) times only those inputs.
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
mkdir -p "$work/tmp" "$work/game"
export TMPDIR="$work/tmp"
kinds=(plain32 layered32 runs32 tiles0b tiles0c series0b archive)
# shellcheck disable=SC2206
[ -z "${QUORVEL_BENCH_KINDS:-}" ] || kinds=(${QUORVEL_BENCH_KINDS})
modes=(blended raw)
declare -A input
for kind in plain32 layered32 runs32 tiles0b tiles0c; do
  input[$kind]="$work/$kind.px"
  "$build/quorvel-make-samples" "--$kind" "${input[$kind]}" 4096 4096
done
input[series0b]="$work/series0b.px"
"$build/quorvel-make-samples" --series0b "${input[series0b]}" 512 512
"$build/quorvel-make-samples" --game "$work/game" 1
input[archive]="$work/game/data000.a"

. "$here/bench/timing.sh"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
modeSwitch() { [ "$1" = raw ] && echo -raw || true; }
# Files written by the previous command are flushed first, so that no command pays for another's
# writeback.
settle() { sync -f "$work" 2>/dev/null || sync; }
# Nanoseconds of one conversion into a fresh output folder, removed afterwards unless keep names
# the folder to keep it as.
convertTime() {
  local program=$1 kind=$2 mode=$3 keep=${4:-} time
  rm -rf "$work/out" && mkdir "$work/out"
  settle
  # shellcheck disable=SC2046
  time=$(timed "$program" $(modeSwitch "$mode") "-out:$work/out" "${input[$kind]}")
  [ -n "$(ls -A "$work/out")" ] || { echo "$program wrote nothing for $kind" >&2; exit 1; }
  if [ -n "$keep" ]; then mv "$work/out" "$keep"; else rm -rf "$work/out"; fi
  echo "$time"
}
# Nanoseconds of the baseline: the input read and the outputs copied (a tar of them extracted for
# the archive).
baselineTime() {
  local kind=$1 mode=$2 time
  rm -rf "$work/copy" && mkdir "$work/copy"
  settle
  if [ "$kind" = archive ]; then
    time=$(timed tar -xf "$work/outputs.$kind.$mode.tar" -C "$work/copy")
  else
    time=$(timed sh -c 'cat "$1" >/dev/null && cp -r "$2"/. "$3"' sh "${input[$kind]}" \
      "$work/outputs.$kind.$mode" "$work/copy")
  fi
  rm -rf "$work/copy"
  echo "$time"
}
# Peak resident memory of one conversion in KiB, the median of three runs.
peakMemory() {
  local program=$1 kind=$2 mode=$3 runs=()
  for _ in 1 2 3; do
    rm -rf "$work/out" && mkdir "$work/out"
    # shellcheck disable=SC2046
    runs+=("$(/usr/bin/time -f %M "$program" $(modeSwitch "$mode") "-out:$work/out" \
      "${input[$kind]}" 2>&1 >/dev/null | tail -n 1)")
  done
  rm -rf "$work/out"
  median "${runs[@]}"
}

# The outputs of each input and mode once, for the baseline to copy.
for kind in "${kinds[@]}"; do
  for mode in "${modes[@]}"; do
    convertTime "$build/quorvel" "$kind" "$mode" "$work/outputs.$kind.$mode" >/dev/null
    if [ "$kind" = archive ]; then
      tar -cf "$work/outputs.$kind.$mode.tar" -C "$work/outputs.$kind.$mode" .
    fi
  done
done

declare -A now before versus
for ((i = 0; i < rounds; i++)); do
  for kind in "${kinds[@]}"; do
    for mode in "${modes[@]}"; do
      convert=$(convertTime "$build/quorvel" "$kind" "$mode")
      base=$(baselineTime "$kind" "$mode")
      now[$kind.$mode]+=" $(ratio "$convert" "$base")"
      if [ -n "$earlier" ]; then
        old=$(convertTime "$earlier" "$kind" "$mode")
        base=$(baselineTime "$kind" "$mode")
        before[$kind.$mode]+=" $(ratio "$old" "$base")"
        versus[$kind.$mode]+=" $(ratio "$convert" "$old")"
      fi
    done
  done
  echo "round $((i + 1)) of $rounds done" >&2
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
  "$(uname -sr)"
echo "command: bench/plain_picture.sh $build $rounds${earlier:+ $earlier}"
echo "pictures 4096 x 4096, series0b 64 x 512 x 512, archive one of the generated game; $rounds" \
  "rounds; times are medians of the per-round ratios to the baseline (cat of the input and cp of" \
  "the outputs; tar -xf for the archive); peak memory the median of 3 runs"
if [ -n "$earlier" ]; then
  printf '%-10s %-8s %9s %9s %9s %11s %11s\n' input mode new/base old/base new/old "peak new" \
    "peak old"
else
  printf '%-10s %-8s %9s %11s\n' input mode time/base "peak"
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
