"""Converts the bundled samples with -png and with -png -raw and opens every PNG with Pillow (and
ImageMagick, where installed): it has the BMP's size; without -raw the BMP's pixels; with -raw
those pixels again for pictures without alpha, and for pictures with alpha RGBA that over black
(the background of every blended output here) gives them.
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


def bit_count(bmp_path):
    with open(bmp_path, "rb") as f:
        return int.from_bytes(f.read(30)[28:30], "little")


def main():
    binary, samples = sys.argv[1], sys.argv[2]
    checked = 0
    with tempfile.TemporaryDirectory() as work:
        runs = (("bmp", ["-bgcolor:000000"]), ("png", ["-bgcolor:000000", "-png"]),
                ("raw", ["-png", "-raw"]))
        for kind, switches in runs:
            os.makedirs(os.path.join(work, kind))
            for name in sorted(os.listdir(samples)):
                if name.endswith((".px", ".a")):
                    out = subprocess.run([binary, *switches, "-out:" + os.path.join(work, kind),
                                          os.path.join(samples, name)], capture_output=True,
                                         text=True, check=True).stdout
                    assert out.rstrip().endswith("complete."), (name, switches, out)
        for root, _, names in os.walk(os.path.join(work, "bmp")):
            for name in (n[:-4] for n in names if n.endswith(".bmp")):
                bmp = Image.open(os.path.join(root, name + ".bmp"))
                png_path, raw_path = (os.path.join(root.replace(os.path.join(work, "bmp"),
                                                                os.path.join(work, kind)),
                                                   name + ".png") for kind in ("png", "raw"))
                png, raw = Image.open(png_path), Image.open(raw_path)
                assert png.size == raw.size == bmp.size, png_path
                # Pillow widens a BMP's 5-bit channels by truncation; the PNG has the nearest.
                tolerance = 1 if bit_count(bmp.filename) == 16 else 0
                got = png.convert("RGB").tobytes()
                assert max(abs(a - b) for a, b in
                           zip(got, bmp.convert("RGB").tobytes())) <= tolerance, png_path
                if raw.mode == "RGBA":
                    pixels = raw.tobytes()
                    over = bytes(pixels[i] * pixels[i - i % 4 + 3] // 255
                                 for i in range(len(pixels)) if i % 4 != 3)
                    assert max(abs(a - b) for a, b in zip(over, got)) <= 1, raw_path
                else:
                    assert raw.convert("RGB").tobytes() == got, raw_path
                if shutil.which("convert"):
                    magick = subprocess.run(["convert", raw_path, "-depth", "8", "rgba:-"],
                                            capture_output=True, check=True).stdout
                    assert magick == raw.convert("RGBA").tobytes(), raw_path
                checked += 1
    print("%d pictures checked" % checked)
    return 0 if checked > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
