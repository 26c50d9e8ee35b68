#!/usr/bin/env bash
# -list of a sound archive of 60000 wave members (the kind a game's voice archive is), by two
# builds side by side in one run: each round times both, the medians and their ratio B / A are
# printed. The listing checks where every member lies; this shows what that costs.
# Usage: bench/list_speed.sh QUORVEL_A QUORVEL_B [rounds]     (default 15 rounds)
set -eu
[ $# -ge 2 ] || { echo "usage: $0 QUORVEL_A QUORVEL_B [rounds]" >&2; exit 2; }
a=$1
b=$2
rounds=${3:-15}
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-list-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The archive: magic, member count, 32-byte records (name, flags, stored size, data offset), then
# each member's 18-byte sound header and 100 bytes of samples.
python3 - "$work/voice.a" <<'PY'
import struct, sys
count, samples = 60000, 100
stored = 18 + samples
records, data = bytearray(), bytearray()
for i in range(count):
    name = b"v%05d.wav" % i
    records += name.ljust(23, b"\0") + struct.pack("<BII", 0, stored, len(data))
    data += struct.pack("<HHIIHHH", 1, 1, 22050, 44100, 2, 16, samples) + bytes(samples)
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<HH", 0xAF1E, count) + records + data)
PY

# Milliseconds of one listing, its output thrown away.
time_ms() {
  local start end
  start=$(date +%s%N)
  "$1" -list "$work/voice.a" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

times_a=()
times_b=()
for ((round = 0; round < rounds; round++)); do
  times_a+=("$(time_ms "$a")")
  times_b+=("$(time_ms "$b")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ma=$(median "${times_a[@]}")
mb=$(median "${times_b[@]}")
echo "list of 60000 wave members, median of $rounds rounds: A $ma ms, B $mb ms, B / A $(
  awk -v a="$ma" -v b="$mb" 'BEGIN { printf "%.2f", a ? b / a : 0 }')"
