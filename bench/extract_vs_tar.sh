#!/usr/bin/env bash
# Extraction speed of an archive of plain members next to tar on the same files.
# Builds about 256 MiB in a few hundred files, stores them as an archive (.a) and as a tar, then
# alternately extracts with quorvel and with `tar -xf`, and prints each round and the median
# ratio quorvel / tar (wall-clock time).
# Usage: bench/extract_vs_tar.sh [rounds] [quorvel binary]   (default: 5, build/quorvel)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
quorvel=${2:-$here/build/quorvel}
if [ ! -x "$quorvel" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$here/build" --target quorvel >/dev/null
fi

work=$(mktemp -d "${BENCH_DIR:-$here/build}/extract-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files" "$work/tmp"

# 320 members of 0.5 to 1.1 MiB (about 256 MiB together), mixed text-like and random bytes,
# written as files and as an archive of plain members.
python3 - "$work" <<'PY'
import os, random, struct, sys
work = sys.argv[1]
random.seed(1)
names, blobs = [], []
total = 0
for i in range(320):
    size = random.randint(512 * 1024, 1126 * 1024)
    if i % 2:
        data = os.urandom(size)
    else:
        data = (b"line %06d of a member of the benchmark archive\n" % i) * (size // 48 + 1)
        data = data[:size]
    name = "member%03d.bin" % i
    with open(os.path.join(work, "files", name), "wb") as f:
        f.write(data)
    names.append(name)
    blobs.append(data)
    total += size
with open(os.path.join(work, "data.a"), "wb") as f:
    f.write(struct.pack("<HH", 0xAF1E, len(names)))
    offset = 0
    for name, data in zip(names, blobs):
        f.write(name.encode().ljust(23, b"\0") + b"\0" + struct.pack("<II", len(data), offset))
        offset += len(data)
    for data in blobs:
        f.write(data)
print("%d members, %.1f MiB" % (len(names), total / 1048576.0))
PY
tar -cf "$work/data.tar" -C "$work/files" .
sync

now() { date +%s%N; }
ratios=()
for round in $(seq 1 "$rounds"); do
  rm -rf "$work/out" "$work/tarout" && mkdir -p "$work/out" "$work/tarout"
  sync
  start=$(now)
  TMPDIR="$work/tmp" "$quorvel" "-out:$work/out" "$work/data.a" >/dev/null
  quorvelNs=$(( $(now) - start ))
  sync
  start=$(now)
  tar -xf "$work/data.tar" -C "$work/tarout"
  tarNs=$(( $(now) - start ))
  cmp -s "$work/out/data/member001.bin" "$work/files/member001.bin" ||
    { echo "quorvel output differs" >&2; exit 1; }
  ratio=$(awk -v q="$quorvelNs" -v t="$tarNs" 'BEGIN { printf "%.3f", q / t }')
  ratios+=("$ratio")
  printf 'round %d: quorvel %.0f ms, tar %.0f ms, ratio %s\n' "$round" \
    "$(awk -v n="$quorvelNs" 'BEGIN { print n / 1e6 }')" \
    "$(awk -v n="$tarNs" 'BEGIN { print n / 1e6 }')" "$ratio"
done
diff -rq "$work/out/data" "$work/files" >/dev/null || { echo "quorvel output differs" >&2; exit 1; }
[ -z "$(ls -A "$work/tmp")" ] || { echo "temporary files left behind" >&2; exit 1; }
median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "median ratio quorvel / tar: $median"
