#!/usr/bin/env bash
# One large PNG packed alone (into a picture file) and as the only member of a folder (into an
# archive, where its 268 MB of pixels are also compressed), in the same rounds: an 8192 x 8192
# RGBA gradient that no tile size suits, so that it stays a plain picture. Prints the medians of
# the wall-clock and CPU times (user + system) and of the peak memory (/usr/bin/time), and the
# folder / alone ratios. Both runs take the machine's default threads.
# Usage: bench/pack_picture.sh [rounds] [size]   (default: 5 rounds, 8192)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
size=${2:-8192}
build="$here/build"
. "$here/bench/timing.sh"
ensure_built "$build"
quorvel="$build/quorvel"
[ -x /usr/bin/time ] || { echo "peak memory needs /usr/bin/time (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d "${BENCH_DIR:-$build}/pack-picture-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/folder" "$work/alone" "$work/packed"
# Red across, green down, blue along the diagonal: every row and every tile differs.
python3 - "$work/folder/gradient.png" "$size" <<'EOF'
import struct, sys, zlib
path, n = sys.argv[1], int(sys.argv[2])
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
base = bytearray(4 * n)
base[0::4] = bytes(x * 256 // n for x in range(n))
base[3::4] = b"\xff" * n
diagonal = bytes((s * 128 // n) & 255 for s in range(2 * n))
pack = zlib.compressobj(1)
idat = []
for y in range(n):
    row = bytearray(base)
    row[1::4] = bytes([y * 256 // n]) * n
    row[2::4] = diagonal[y:y + n]
    idat.append(pack.compress(b"\0" + bytes(row)))
idat.append(pack.flush())
with open(path, "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)))
    f.write(chunk(b"IDAT", b"".join(idat)) + chunk(b"IEND", b""))
EOF
cp "$work/folder/gradient.png" "$work/gradient.png"

# Runs the command under /usr/bin/time; prints wall nanoseconds, CPU centiseconds, peak KiB.
measured() {
  local start end
  start=$(now)
  /usr/bin/time -f "%U %S %M" -o "$work/usage" "$@" >/dev/null
  end=$(now)
  read -r user system peak <"$work/usage"
  echo "$((end - start)) $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 100 }') $peak"
}

declare -a aloneWall aloneCpu alonePeak folderWall folderCpu folderPeak
for round in $(seq 1 "$rounds"); do
  read -r w c p < <(measured "$quorvel" -pack -force -out:"$work/alone" "$work/gradient.png")
  aloneWall+=("$w") aloneCpu+=("$c") alonePeak+=("$p")
  read -r w c p < <(measured "$quorvel" -pack -force -out:"$work/packed" "$work/folder")
  folderWall+=("$w") folderCpu+=("$c") folderPeak+=("$p")
  printf 'round %d: alone %d ms, folder %d ms\n' "$round" $((aloneWall[-1] / 1000000)) \
    $((folderWall[-1] / 1000000))
done
aw=$(median "${aloneWall[@]}") ac=$(median "${aloneCpu[@]}") ap=$(median "${alonePeak[@]}")
fw=$(median "${folderWall[@]}") fc=$(median "${folderCpu[@]}") fp=$(median "${folderPeak[@]}")
awk -v aw="$aw" -v ac="$ac" -v ap="$ap" -v fw="$fw" -v fc="$fc" -v fp="$fp" -v n="$size" 'BEGIN {
  printf "%d x %d PNG, median of wall / CPU / peak:\n", n, n
  printf "  alone  %6.2f s  %6.2f s CPU  %5d MiB\n", aw / 1e9, ac / 100, ap / 1024
  printf "  folder %6.2f s  %6.2f s CPU  %5d MiB\n", fw / 1e9, fc / 100, fp / 1024
  printf "folder / alone: wall %.2f x, CPU %.2f x, peak %.2f x\n", fw / aw, fc / ac, fp / ap }'
echo "sizes: picture $(stat -c %s "$work/alone/gradient.px") bytes, archive $(stat -c %s "$work/packed/folder.a") bytes"
