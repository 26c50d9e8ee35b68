#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, ASan + UBSan), writes their seed corpora
# and runs each target for the given number of seconds. Stops at the first finding: the exit
# status is then non-zero and the crashing input is named.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]   (default 30 s, every built target)
# Limits: -rss_limit_mb=4096 and -malloc_limit_mb=2048, so that a huge but legal picture (the
# largest BMP is 4 GiB) is refused or allocated lazily rather than reported as a finding, while
# an allocation driven by an unchecked header value still is; -timeout=25 per input catches hangs.
# QUORVEL_FUZZ_FLAGS adds libFuzzer flags (later flags win), e.g. QUORVEL_FUZZ_FLAGS=-runs=1000.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
build="$here/build-fuzz"
work="$build/fuzz-work"

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -- -j2 >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in "$build"/fuzz/fuzz_*; do
    [ -x "$binary" ] && targets+=("$(basename "$binary" | sed 's/^fuzz_//')")
  done
fi

rm -rf "$work/seeds"
"$build/fuzz/quorvel-fuzz-seeds" "$work/seeds"

for target in "${targets[@]}"; do
  binary="$build/fuzz/fuzz_$target"
  if [ ! -x "$binary" ]; then
    echo "no such fuzz target: $target" >&2
    exit 2
  fi
  corpus="$work/corpus/$target"
  artifacts="$work/findings/$target/"
  mkdir -p "$corpus" "$artifacts" "$work/seeds/$target"
  log="$work/$target.log"
  echo "== fuzz_$target for ${seconds}s"
  # Targets that convert print progress and failure lists; sanitizer reports still come through.
  set +e
  (cd "$work" && ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    "$binary" "$corpus" "$work/seeds/$target" -max_total_time="$seconds" -timeout=25 \
      -rss_limit_mb=4096 -malloc_limit_mb=2048 -max_len=65536 -close_fd_mask=3 \
      -artifact_prefix="$artifacts" -print_final_stats=1 ${QUORVEL_FUZZ_FLAGS:-} >"$log" 2>&1)
  status=$?
  set -e
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -2 || true
  if [ $status -ne 0 ]; then
    echo "fuzz_$target: FINDING (exit $status); log: $log" >&2
    grep -E 'ERROR|SUMMARY|fuzz finding|Test unit written' "$log" >&2 || tail -30 "$log" >&2
    ls "$artifacts" >&2
    exit 1
  fi
done
echo "fuzzing: no findings"
