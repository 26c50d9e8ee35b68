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
# Builds quorvel and the sample writer into the folder $1 when either is missing.
ensure_built() {
  if [ ! -x "$1/quorvel" ] || [ ! -x "$1/quorvel-make-samples" ]; then
    cmake -S "$here" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$1" --target quorvel quorvel-make-samples >/dev/null
  fi
}
