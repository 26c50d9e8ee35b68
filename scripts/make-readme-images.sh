#!/usr/bin/env bash
# Makes the pictures of the README's "What you should see" section: every picture that the bundled
# samples convert into with the default switches, made by build/quorvel itself, then turned into
# PNG files by ImageMagick, four times their size with each pixel repeated so that they stay
# sharp. The PNGs carry no time stamps, so that an unchanged picture gives an unchanged file.
# Usage: scripts/make-readme-images.sh          (writes docs/expected/*.png; commit them)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
target="$here/docs/expected"

if ! command -v convert >/dev/null; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing imagemagick with apt-get"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null && apt-get install -y -qq imagemagick >/dev/null
  else
    echo "ImageMagick's convert is needed (Debian package imagemagick)" >&2
    exit 1
  fi
fi

"$here/scripts/install-deps.sh" build
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" --target quorvel >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for sample in "$here"/samples/*.px "$here"/samples/*.a; do
  "$here/build/quorvel" "-out:$work" "$sample" >"$work/last-run" 2>&1
  if [ "$(tail -n 1 "$work/last-run")" != complete. ]; then
    echo "$(basename "$sample") did not convert:" >&2
    cat "$work/last-run" >&2
    exit 1
  fi
done

rm -rf "$target"
mkdir -p "$target"
# A picture from a folder (a series, an archive) is named folder-picture.png.
(cd "$work" && find . -name '*.bmp' | sort) | while read -r bmp; do
  name=${bmp#./}
  name=${name%.bmp}
  convert "$work/$bmp" -filter point -resize 400% -strip \
    -define png:exclude-chunks=date,time "$target/${name//\//-}.png"
done
echo "wrote $(ls "$target" | wc -l) pictures ($(du -sk "$target" | cut -f1) KiB) into docs/expected/"
