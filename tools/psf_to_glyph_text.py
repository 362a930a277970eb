#!/usr/bin/env python3
"""One-off conversion of a PSF1 console font with a Unicode table into the
glyph text of gfx/text/fonts/: a "font 8 H" line, then 256 glyphs in code
page 437 order, each a "glyph N" line followed by one line per pixel row
('#' set, '.' clear). Lines starting with ';' are comments.

The build does not run this script; it is kept so that the origin of the
glyph files can be checked. Usage:

    psf_to_glyph_text.py Uni2-VGA16.psf.gz > font_8x16.txt

Glyphs that the font lacks are written blank, marked "; missing" and listed
on standard error; they were drawn by hand afterwards (see README.md).
"""
import codecs
import gzip
import sys

# Code page 437 as printed glyphs: the control range shows symbols.
LOW_SYMBOLS = [
    None, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
]
# Alternative code points that fonts use for a few of the letters.
ALTERNATIVES = {
    0x10: [0x25B6], 0x11: [0x25C0],
    0xE1: [0x03B2], 0xE6: [0x03BC], 0xED: [0x03D5, 0x2205, 0x00F8],
    0xEE: [0x2208], 0xF9: [0x22C5],
}


def cp437_code_points(code):
    if code < 0x20:
        first = LOW_SYMBOLS[code]
    elif code == 0x7F:
        first = 0x2302
    else:
        first = ord(bytes([code]).decode("cp437"))
    points = [first] if first is not None else []
    return points + ALTERNATIVES.get(code, [])


def read_psf1(path):
    data = gzip.open(path).read() if path.endswith(".gz") else open(path, "rb").read()
    if data[0:2] != b"\x36\x04":
        sys.exit(f"{path}: not a PSF1 font")
    mode, height = data[2], data[3]
    count = 512 if mode & 1 else 256
    glyphs = [data[4 + i * height: 4 + (i + 1) * height] for i in range(count)]
    table = {}
    if mode & 2:
        pos = 4 + count * height
        for index in range(count):
            in_sequence = False
            while True:
                value = data[pos] | data[pos + 1] << 8
                pos += 2
                if value == 0xFFFF:
                    break
                if value == 0xFFFE:
                    in_sequence = True
                elif not in_sequence:
                    table.setdefault(value, index)
    return height, glyphs, table


def main():
    height, glyphs, table = read_psf1(sys.argv[1])
    print(f"; 8x{height} glyphs in code page 437 order, converted from {sys.argv[1].split('/')[-1]}")
    print("; (see README.md). '#' is a set pixel, '.' a clear one.")
    print(f"font 8 {height}")
    for code in range(256):
        index = next((table[p] for p in cp437_code_points(code) if p in table), None)
        missing = index is None and code not in (0x00, 0x20, 0xFF)
        if missing:
            print(f"missing glyph {code} ({code:#04x})", file=sys.stderr)
        rows = glyphs[index] if index is not None else bytes(height)
        print(f"glyph {code}" + (" ; missing" if missing else ""))
        for row in rows:
            print("".join("#" if row & (0x80 >> x) else "." for x in range(8)))


if __name__ == "__main__":
    main()
