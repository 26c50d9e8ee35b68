# Shell helpers of the benchmark scripts (sourced).

now() { date +%s%N; }
# Prints the nanoseconds the command takes; its output is dropped.
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  echo $((end - start))
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
