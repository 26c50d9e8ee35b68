#!/usr/bin/env bash
# Converts the same inputs with two quorvel programs and compares every output file byte for
# byte: the bundled samples, everything quorvel-make-samples writes (the samples, the malformed
# files), and large pictures of every sub-format (plain 8, 16 and 32 bits of odd sizes among
# them), each as BMP and PNG, blended, raw and over another background. For changes that must not
# alter any output (speed work).
# Usage: scripts/compare-outputs.sh OLD_QUORVEL NEW_QUORVEL [quorvel-make-samples]
set -eu
[ $# -ge 2 ] || { echo "usage: $0 OLD_QUORVEL NEW_QUORVEL [quorvel-make-samples]" >&2; exit 2; }
here=$(cd "$(dirname "$0")/.." && pwd)
old=$(realpath "$1")
new=$(realpath "$2")
maker=$(realpath "${3:-$here/build/quorvel-make-samples}")
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

inputs="$work/inputs"
mkdir -p "$inputs/made" "$inputs/malformed" "$inputs/large"
cp "$here"/samples/* "$inputs/"
"$maker" "$inputs/made"
"$maker" --malformed "$inputs/malformed"
for kind in plain32 sprite32 layered32 runs32 tiles0b tiles0c; do
  "$maker" "--$kind" "$inputs/large/$kind.px" 2048 1536
done
"$maker" --plain32 "$inputs/large/odd32.px" 1183 1187
"$maker" --sprite32 "$inputs/large/narrow32.px" 3 4099

# Every input file converted on its own (a run converts one file) into a folder of the output
# tree that mirrors its place among the inputs.
convertAll() {
  local program=$1 tree=$2
  shift 2
  rm -rf "$tree"
  (cd "$inputs" && find . -type f | sort) | while read -r name; do
    mkdir -p "$tree/$(dirname "$name")"
    "$program" "$@" "-out:$tree/$(dirname "$name")" "$inputs/$name" >>"$tree.log" 2>&1 || true
  done
}

failed=0
for switches in "" "-raw" "-bgcolor:3366cc" "-png" "-png -raw"; do
  # shellcheck disable=SC2086
  convertAll "$old" "$work/old" $switches
  # shellcheck disable=SC2086
  convertAll "$new" "$work/new" $switches
  files=$(find "$work/new" -type f | wc -l)
  if diff -r "$work/old" "$work/new" >/dev/null && cmp -s "$work/old.log" "$work/new.log"; then
    echo "same: ${switches:-(no switches)}: $files files and the console output"
  else
    echo "DIFFERENT: ${switches:-(no switches)}"
    diff -r "$work/old" "$work/new" | head -20 || true
    failed=1
  fi
  rm -f "$work/old.log" "$work/new.log"
done
exit $failed
