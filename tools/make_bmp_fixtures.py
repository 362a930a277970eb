#!/usr/bin/python3
"""Writes the BMP test fixtures in tests/gfx/fixtures/ with programs that are
not ours, Pillow and ImageMagick, and beside each BMP a .txt of the pixels
that the same program reads back from it.

It also writes the seed corpus of the image file fuzz target,
tests/fuzz/corpus/: copies of those BMPs and dumps of every form.

Run from anywhere: /usr/bin/python3 tools/make_bmp_fixtures.py
Needs python3-pil and imagemagick (/usr/bin/convert; /usr/local/bin/convert
may be a stand-in).

Text format: a first line "width height", then one line per pixel, rows top
to bottom, "red green blue fourth": fourth is the fourth byte of a 32-bit
file's pixel as the program reports it (its alpha), 0 for the other files.
"""
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "tests", "gfx", "fixtures")
CONVERT = "/usr/bin/convert"


def pattern(width, height, colours):
    """A picture with `colours` distinct colours spread over the pixels so
    that no two neighbours in a row are equal and rows differ."""
    palette = [((37 * i + 11) % 256, (91 * i + 53) % 256, (173 * i + 29) % 256) for i in range(colours)]
    return [[palette[(x + width * y) % colours] for x in range(width)] for y in range(height)]


def rgb_image(rows):
    im = Image.new("RGB", (len(rows[0]), len(rows)))
    im.putdata([p for row in rows for p in row])
    return im


def write_text(name, width, height, pixels):
    with open(os.path.join(OUT, name + ".txt"), "w") as f:
        f.write(f"{width} {height}\n")
        for p in pixels:
            f.write(" ".join(str(v) for v in p) + "\n")


def pillow_pixels(path, fourth_from=None):
    """What Pillow reads from `path`, as (r, g, b, fourth)."""
    im = Image.open(path)
    im.load()
    rgb = list(im.convert("RGB").getdata())
    fourth = [0] * len(rgb) if fourth_from is None else list(fourth_from)
    return im.size, [(r, g, b, a) for (r, g, b), a in zip(rgb, fourth)]


def magick_pixels(path):
    """What ImageMagick reads from `path`, as (r, g, b, alpha or 0)."""
    text = subprocess.run([CONVERT, path, "-depth", "8", "txt:-"], check=True, capture_output=True,
                          text=True).stdout.splitlines()
    head = text[0].split(":")[1].split(",")
    width, height, kind = int(head[0]), int(head[1]), head[3].strip()
    pixels = []
    for line in text[1:]:
        values = [int(v) for v in line.split("(")[1].split(")")[0].split(",")]
        if kind in ("srgb", "rgb"):
            values.append(0)
        elif kind in ("gray", "graya"):
            values = [values[0]] * 3 + ([values[1]] if kind == "graya" else [0])
        pixels.append(tuple(values))
    assert len(pixels) == width * height
    return (width, height), pixels


def check_header(path, bits, compression=0):
    with open(path, "rb") as f:
        head = f.read(54)
    assert head[:2] == b"BM", path
    assert struct.unpack_from("<I", head, 14)[0] == 40, f"{path}: not a 40-byte information header"
    got_bits = struct.unpack_from("<H", head, 28)[0]
    got_compression = struct.unpack_from("<I", head, 30)[0]
    assert (got_bits, got_compression) == (bits, compression), f"{path}: {got_bits} bits, compression {got_compression}"


def pillow_fixtures():
    # 1 bit, width 10: two data bytes and two padding bytes per row.
    im = Image.new("1", (10, 3))
    im.putdata([255 if (x * 7 + y * 3) % 5 < 2 else 0 for y in range(3) for x in range(10)])
    path = os.path.join(OUT, "pil_1bit_w10.bmp")
    im.save(path)
    check_header(path, 1)
    size, pixels = pillow_pixels(path)
    write_text("pil_1bit_w10", *size, pixels)

    # 8 bits through an adaptive palette, width 5.
    im = rgb_image(pattern(5, 3, 7)).convert("P", palette=Image.ADAPTIVE, colors=7)
    path = os.path.join(OUT, "pil_8bit_w5.bmp")
    im.save(path)
    check_header(path, 8)
    size, pixels = pillow_pixels(path)
    write_text("pil_8bit_w5", *size, pixels)

    # 24 bits, width 5: 15 data bytes and one padding byte per row.
    path = os.path.join(OUT, "pil_24bit_w5.bmp")
    rgb_image(pattern(5, 3, 15)).save(path)
    check_header(path, 24)
    size, pixels = pillow_pixels(path)
    write_text("pil_24bit_w5", *size, pixels)

    # 32 bits with a fourth byte per pixel (Pillow writes the alpha there
    # and reads the file back as RGB, so the fourth byte is the one given).
    rows = pattern(3, 2, 6)
    alpha = [17 + 40 * i for i in range(6)]
    im = Image.new("RGBA", (3, 2))
    im.putdata([p + (a,) for p, a in zip([p for row in rows for p in row], alpha)])
    path = os.path.join(OUT, "pil_32bit_w3.bmp")
    im.save(path)
    check_header(path, 32)
    size, pixels = pillow_pixels(path, fourth_from=alpha)
    write_text("pil_32bit_w3", *size, pixels)


def magick_fixtures(work):
    def run(rows, name, *options, bits):
        source = os.path.join(work, name + ".png")
        rgb_image(rows).save(source)
        path = os.path.join(OUT, name + ".bmp")
        subprocess.run([CONVERT, source, *options, "-compress", "None", "BMP3:" + path], check=True)
        check_header(path, bits)
        size, pixels = magick_pixels(path)
        write_text(name, *size, pixels)

    # 4 bits: ImageMagick stores up to 16 colours in 4 bits.
    run(pattern(3, 4, 9), "im_4bit_w3", "-type", "Palette", bits=4)
    run(pattern(7, 2, 11), "im_4bit_w7", "-type", "Palette", bits=4)
    # 1 bit, odd width.
    run(pattern(13, 2, 2), "im_1bit_w13", "-type", "Palette", bits=1)
    # 8 bits: more than 16 colours.
    run(pattern(6, 4, 24), "im_8bit_w6", "-type", "Palette", bits=8)
    run(pattern(7, 2, 14), "im_24bit_w7", "-type", "TrueColor", bits=24)

    # 32 bits with alpha in the fourth byte.
    source = os.path.join(work, "im_32bit_w5.png")
    rows = pattern(5, 2, 10)
    im = Image.new("RGBA", (5, 2))
    im.putdata([p + (255 - 23 * i,) for i, p in enumerate(p for row in rows for p in row)])
    im.save(source)
    path = os.path.join(OUT, "im_32bit_w5.bmp")
    subprocess.run([CONVERT, source, "-define", "bmp3:alpha=true", "-compress", "None", "BMP3:" + path], check=True)
    check_header(path, 32)
    size, pixels = magick_pixels(path)
    write_text("im_32bit_w5", *size, pixels)


def bitfield_fixture():
    """No program at hand writes 32-bit rows with bit-field masks behind a
    40-byte header, so this one is put together here; the pixels recorded
    are those Pillow decodes from it (the fourth byte is no channel of that
    layout and counts as 0)."""
    width, height = 3, 2
    rows = pattern(width, height, 6)
    masks = struct.pack("<III", 0x00FF0000, 0x0000FF00, 0x000000FF)
    data = b""
    for y in reversed(range(height)):
        for i, (r, g, b) in enumerate(rows[y]):
            data += bytes((b, g, r, 0x80 + i))
    offset = 54 + len(masks)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    head += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 3, len(data), 2834, 2834, 0, 0)
    path = os.path.join(OUT, "own_32bit_bitfields_w3.bmp")
    with open(path, "wb") as f:
        f.write(head + masks + data)
    check_header(path, 32, 3)
    size, pixels = pillow_pixels(path)
    write_text("own_32bit_bitfields_w3", *size, pixels)


def dump(data, short=False):
    if short:
        return b"\xfd\0\0\0\0" + struct.pack("<H", len(data)) + data
    return b"\xfe" + struct.pack("<I", len(data)) + data


def image_bytes(width, height, bpp, seed):
    pixels = bytes((seed + 29 * i) % 256 for i in range(width * height * bpp))
    return struct.pack("<HH", bpp + (width << 3), height) + pixels


def fuzz_corpus():
    corpus = os.path.join(ROOT, "tests", "fuzz", "corpus")
    os.makedirs(corpus, exist_ok=True)
    for name in sorted(os.listdir(OUT)):
        if name.endswith(".bmp"):
            with open(os.path.join(OUT, name), "rb") as src, open(os.path.join(corpus, name), "wb") as dst:
                dst.write(src.read())
    seeds = {
        # Image dumps at 1, 2 and 4 bytes per pixel, odd widths.
        "dump_image_8bit_5x3": dump(image_bytes(5, 3, 1, 1)),
        "dump_image_16bit_3x2": dump(image_bytes(3, 2, 2, 2)),
        "dump_image_32bit_3x2": dump(image_bytes(3, 2, 4, 3)),
        "dump_short_8bit_7x2": dump(image_bytes(7, 2, 1, 4), short=True),
        # A dump shorter than its length field.
        "dump_truncated": dump(image_bytes(4, 4, 4, 5))[:30],
        # A page of a small screen followed by a 16-colour palette.
        "dump_screen_palette": dump(bytes(range(64))) + bytes((17 * i) % 256 for i in range(64)),
    }
    for name, data in seeds.items():
        with open(os.path.join(corpus, name), "wb") as f:
            f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    if not os.access(CONVERT, os.X_OK):
        sys.exit(f"{CONVERT} is missing: apt-get install imagemagick")
    pillow_fixtures()
    with tempfile.TemporaryDirectory() as work:
        magick_fixtures(work)
    bitfield_fixture()
    fuzz_corpus()


if __name__ == "__main__":
    main()
