#!/usr/bin/python3
"""Draws the Softglaze logo: a 150 x 50 wordmark on a glazed blue band.

Run once by a developer (Debian's python3-pil and the DejaVu fonts); the
result app/res/logo.bmp is committed, the build does not need this script.
The top-left 8 x 8 cell stays plain blue: the tool prints the typed key there.
"""
import sys
from PIL import Image, ImageDraw, ImageFilter, ImageFont

W, H = 150, 50
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
BOOK = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def main(out):
    img = Image.new("RGB", (W, H))
    top, bottom = (2, 69, 208), (4, 22, 78)  # the prompt's blue down to deep navy
    for y in range(H):
        ImageDraw.Draw(img).line([(0, y), (W, y)], fill=lerp(top, bottom, y / (H - 1)))

    # The glaze: a soft diagonal sheen across the upper half.
    sheen = Image.new("L", (W, H), 0)
    ImageDraw.Draw(sheen).polygon([(30, 0), (150, 0), (150, 8), (20, 24)], fill=70)
    sheen = sheen.filter(ImageFilter.GaussianBlur(5))
    img = Image.composite(Image.new("RGB", (W, H), (190, 225, 255)), img, sheen)

    draw = ImageDraw.Draw(img)
    word = ImageFont.truetype(BOLD, 21)
    tag = ImageFont.truetype(BOOK, 9)

    # Wordmark with a blurred cyan glow behind it.
    glow = Image.new("L", (W, H), 0)
    ImageDraw.Draw(glow).text((14, 8), "Softglaze", font=word, fill=255)
    glow = glow.filter(ImageFilter.GaussianBlur(3))
    img = Image.composite(Image.new("RGB", (W, H), (60, 200, 255)), img, glow.point(lambda v: v * 0.7))
    draw = ImageDraw.Draw(img)
    draw.text((14, 8), "Softglaze", font=word, fill=(255, 255, 255))
    draw.text((16, 34), "box blur  \u00b7  radius 1\u20139", font=tag, fill=(150, 210, 255))

    # A thin highlight line under the word, fading to the right.
    for x in range(14, 136):
        draw.point((x, 32), fill=lerp((120, 220, 255), (20, 60, 150), (x - 14) / 122))

    img.save(out, format="BMP")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/res/logo.bmp")
