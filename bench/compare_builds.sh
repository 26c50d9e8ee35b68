#!/usr/bin/env bash
# Runs the Google Benchmarks of two builds alternately (A, B, A, B, ...) and prints, per
# benchmark, the median throughput of each build and the ratio B / A. Used to check that a change
# (bounds checks, for example) costs no speed: build the old commit into one folder with
# -DQUORVEL_BENCH=ON, the new one into another.
# Usage: bench/compare_builds.sh BUILD_A BUILD_B [rounds]     (default 5 rounds)
set -eu
[ $# -ge 2 ] || { echo "usage: $0 BUILD_A BUILD_B [rounds]" >&2; exit 2; }
a=$1
b=$2
rounds=${3:-5}
results=$(mktemp "${TMPDIR:-/tmp}/quorvel-compare-XXXXXX")
trap 'rm -f "$results" "$results.csv"' EXIT

# One line per benchmark run: build label, benchmark name, bytes per second.
run() {
  local label=$1 binary=$2
  local csv="$results.csv"
  "$binary" --benchmark_out="$csv" --benchmark_out_format=csv >/dev/null 2>&1
  awk -F, -v label="$label" '
      $1 == "name" { for (i = 1; i <= NF; i++) if ($i == "bytes_per_second") column = i; next }
      column && $column != "" { gsub(/"/, "", $1); print label, $1, $column }' "$csv"
}

for ((round = 1; round <= rounds; round++)); do
  for binary in "$a"/bench/*_bench; do
    name=$(basename "$binary")
    [ -x "$b/bench/$name" ] || continue
    run A "$binary" >>"$results"
    run B "$b/bench/$name" >>"$results"
  done
done

sort -k2,2 -k1,1 -k3,3g "$results" | awk '
  function flush() {
    if (name == "") return
    ma = countA ? valuesA[int((countA + 1) / 2)] : 0
    mb = countB ? valuesB[int((countB + 1) / 2)] : 0
    printf "%-40s %10.0f %10.0f %7.3f\n", name, ma / 1e6, mb / 1e6, ma ? mb / ma : 0
  }
  BEGIN { printf "%-40s %10s %10s %7s\n", "benchmark (median MB/s)", "A", "B", "B/A" }
  $2 != name { flush(); name = $2; countA = countB = 0 }
  $1 == "A" { valuesA[++countA] = $3 }
  $1 == "B" { valuesB[++countB] = $3 }
  END { flush() }'
