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
# Stops unless the folder $1 holds quorvel and the sample writer, and the folder $2 (when given)
# an earlier quorvel.
require_builds() {
  local tool
  for tool in quorvel quorvel-make-samples; do
    [ -x "$1/$tool" ] || { echo "build $1/$tool first (ninja -C $1)" >&2; exit 1; }
  done
  if [ -n "${2:-}" ] && [ ! -x "$2/quorvel" ]; then
    echo "no quorvel in $2" >&2
    exit 1
  fi
}
# Sets $python to a Python that has Pillow, or stops.
find_pillow_python() {
  python=
  local candidate
  for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import PIL' 2>/dev/null; then python=$candidate; break; fi
  done
  [ -n "$python" ] || { echo "Pillow is needed (Debian: python3-pil)" >&2; exit 1; }
}
