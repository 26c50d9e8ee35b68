"""Converts the bundled samples with -png and with -png -raw and opens every PNG with Pillow (and
ImageMagick, where installed): the PNG has the BMP's size; without -raw the BMP's pixels; with
-raw RGBA where the picture has alpha, which over the background of the blended output (black
here, for every kind) gives the blended colours.
Usage: png_samples_pillow.py <quorvel binary> <samples folder>; exit code 77 without Pillow."""
import os
import shutil
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("SKIPPED: Pillow (python3-pil) is not installed")
    sys.exit(77)



def convert(binary, source, folder, *switches):
    os.makedirs(folder, exist_ok=True)
    out = subprocess.run([binary, *switches, "-out:" + folder, source], capture_output=True,
                         text=True, check=True).stdout
    assert out.rstrip().endswith("complete."), (source, switches, out)


def outputs(folder, extension):
    for root, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith(extension):
                yield os.path.relpath(os.path.join(root, name), folder)[:-len(extension)]


def check(bmp_path, png_path, raw_path):
    bmp = Image.open(bmp_path)
    png, raw = Image.open(png_path), Image.open(raw_path)
    assert png.size == bmp.size == raw.size, png_path
    # Pillow widens the BMP's 5-bit channels by truncation, the PNG holds the nearest values.
    with open(bmp_path, "rb") as f:
        tolerance = 1 if f.read(30)[28] == 16 else 0
    blended = bmp.convert("RGB").tobytes()
    got = png.convert("RGB").tobytes()
    assert max(abs(a - b) for a, b in zip(got, blended)) <= tolerance, png_path
    if raw.mode != "RGBA":
        assert raw.convert("RGB").tobytes() == got, raw_path
        return
    pixels = raw.tobytes()
    for i in range(len(pixels) // 4):
        r, g, b, a = pixels[4 * i:4 * i + 4]
        for k, c in enumerate((r, g, b)):
            assert abs(c * a // 255 - got[3 * i + k]) <= 1, (raw_path, i, k)
    if shutil.which("convert"):
        magick = subprocess.run(["convert", raw_path, "-depth", "8", "rgba:-"],
                                capture_output=True, check=True).stdout
        assert magick == pixels, raw_path


def main():
    binary, samples = sys.argv[1], sys.argv[2]
    background = "-bgcolor:000000"
    checked = 0
    with tempfile.TemporaryDirectory() as work:
        for name in sorted(os.listdir(samples)):
            if not name.endswith((".px", ".a")):
                continue
            source = os.path.join(samples, name)
            convert(binary, source, os.path.join(work, "bmp"), background)
            convert(binary, source, os.path.join(work, "png"), background, "-png")
            convert(binary, source, os.path.join(work, "raw"), "-png", "-raw")
        for output in outputs(os.path.join(work, "bmp"), ".bmp"):
            path = lambda kind, ext: os.path.join(work, kind, output + ext)
            check(path("bmp", ".bmp"), path("png", ".png"), path("raw", ".png"))
            checked += 1
    print("%d pictures checked" % checked)
    return 0 if checked > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
