"""Converts the bundled samples to BMP, PNG and PNG with -raw (over black) and opens every file
with Pillow: a PNG holds the BMP's pixels (5-bit channels may differ by 1: Pillow truncates them
in BMPs); a -raw PNG with alpha, composited over black, gives them too, and reads the same in
ImageMagick where installed. Usage: png_samples_pillow.py <quorvel> <samples>; 77: no Pillow."""
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


def has_imagemagick():
    """True when convert is ImageMagick itself, not a stand-in of the same name."""
    if not shutil.which("convert"):
        return False
    version = subprocess.run(["convert", "-version"], capture_output=True, text=True)
    return version.returncode == 0 and "ImageMagick" in version.stdout.split("\n", 1)[0]


binary, samples = sys.argv[1:3]
magick_here = has_imagemagick()
work = tempfile.mkdtemp()
for kind, switches in (("bmp", []), ("png", ["-png"]), ("raw", ["-png", "-raw"])):
    os.mkdir(work + "/" + kind)
    for name in sorted(n for n in os.listdir(samples) if n.endswith((".px", ".a"))):
        out = subprocess.run([binary, "-bgcolor:000000", *switches, "-out:" + work + "/" + kind,
                              samples + "/" + name], capture_output=True, text=True).stdout
        assert out.rstrip().endswith("complete."), (name, switches, out)
checked = 0
for root, _, names in os.walk(work + "/bmp"):
    for name in (n[:-4] for n in names if n.endswith(".bmp")):
        bmp = Image.open(os.path.join(root, name + ".bmp"))
        expected = bmp.convert("RGB").tobytes()
        png, raw = (Image.open(os.path.join(root.replace("/bmp", "/" + kind, 1), name + ".png"))
                    for kind in ("png", "raw"))
        pixels = raw.convert("RGBA").tobytes()
        over = bytes(pixels[i] * pixels[i | 3] // 255 for i in range(len(pixels)) if i % 4 != 3)
        with open(bmp.filename, "rb") as f:
            tolerance = 1 if f.read(30)[28] == 16 else 0  # a 16-bit BMP
        assert png.size == raw.size == bmp.size and raw.mode in ("L", "RGB", "RGBA"), name
        assert max(abs(a - b) for a, b in zip(png.convert("RGB").tobytes(), expected)) <= \
            tolerance, name
        assert max(abs(a - b) for a, b in zip(over, expected)) <= max(tolerance, 1), name
        if magick_here:
            magick = subprocess.run(["convert", raw.filename, "-depth", "8", "rgba:-"],
                                    capture_output=True, check=True).stdout
            assert magick == pixels, name
        checked += 1
shutil.rmtree(work)
print("%d pictures checked" % checked)
sys.exit(0 if checked > 0 else 1)
