#!/usr/bin/python3
"""Renders the bundled sample picture: a lake at dusk with mountain ridges,
a low sun, pines on the shore and their reflections, at 480 x 320.

Run once by a developer (Debian's python3-numpy and python3-pil); the result
samples/lakeside.bmp is committed and used by scripts/demo.
"""
import sys

import numpy as np
from PIL import Image, ImageFilter

W, H = 480, 320
HORIZON = 196
rng = np.random.default_rng(2026)


def smooth_noise(length, scale, octaves=5):
    """1-D fractal noise: octaves of interpolated random values."""
    total = np.zeros(length)
    amplitude, frequency = 1.0, 1.0 / scale
    for _ in range(octaves):
        points = int(length * frequency) + 2
        values = rng.uniform(-1, 1, points)
        xs = np.arange(length) * frequency
        i = xs.astype(int)
        t = xs - i
        t = t * t * (3 - 2 * t)
        total += amplitude * (values[i] * (1 - t) + values[i + 1] * t)
        amplitude *= 0.5
        frequency *= 2
    return total


def main(out):
    y = np.arange(H)[:, None].astype(float)
    x = np.arange(W)[None, :].astype(float)
    img = np.zeros((H, W, 3))

    # Sky: deep blue overhead to warm orange at the horizon.
    t = np.clip(y / HORIZON, 0, 1)
    top, middle, low = np.array([28, 42, 92]), np.array([150, 96, 130]), np.array([255, 168, 88])
    sky = np.where(t[..., None] < 0.6,
                   top + (middle - top) * (t[..., None] / 0.6),
                   middle + (low - middle) * ((t[..., None] - 0.6) / 0.4))
    img[:] = sky

    # The sun and its glow.
    sun_x, sun_y = 330, 112
    d = np.hypot(x - sun_x, y - sun_y)
    glow = np.exp(-(d / 60) ** 2)[..., None]
    img = img + glow * np.array([90, 60, 20])
    img = np.where((d < 15)[..., None], np.array([255, 236, 190]), img)

    # Thin clouds: horizontal streaks lit from below.
    for cy, strength in ((70, 0.35), (104, 0.25), (132, 0.3)):
        streak = smooth_noise(W, 90, 4)
        band = np.exp(-((y - cy - 6 * streak[None, :]) / 5) ** 2) * np.clip(streak[None, :] + 0.4, 0, 1)
        img = img * (1 - strength * band[..., None]) + strength * band[..., None] * np.array([255, 190, 170])

    # Mountain ridges, far (hazy) to near (dark).
    ridges = ((150, 28, 140, [118, 96, 140], 0.55), (168, 24, 70, [76, 62, 104], 0.75),
              (184, 16, 40, [40, 38, 64], 1.0))
    for base, height, scale, colour, opacity in ridges:
        ridge = base - height * (0.6 + smooth_noise(W, scale))
        mask = (y >= ridge[None, :]) & (y < HORIZON)
        shade = np.clip((y - ridge[None, :]) / 60, 0, 1)[..., None]
        tone = np.array(colour) * (1 - 0.35 * shade)
        img = np.where(mask[..., None], img * (1 - opacity) + tone * opacity, img)

    # Pines along the left shore.
    for trunk in rng.uniform(10, 170, 22):
        tall = rng.uniform(22, 46)
        top_y = HORIZON - tall
        half = (y - top_y) / tall * (6 + tall * 0.12)
        jag = 1.2 * np.sin((y - top_y) * 1.7)
        mask = (y >= top_y) & (y < HORIZON) & (np.abs(x - trunk) < half + jag)
        img = np.where(mask[..., None], np.array([18, 24, 30]), img)

    # The lake: the scene mirrored, darkened, broken into ripples.
    above = img[:HORIZON]
    lake = np.zeros((H - HORIZON, W, 3))
    for row in range(H - HORIZON):
        depth = row / (H - HORIZON)
        source = HORIZON - 1 - int(row * 1.15)
        shift = int(round(3 * np.sin(row * 0.9) * (0.3 + depth)))
        line = np.roll(above[max(source, 0)], shift, axis=0)
        lake[row] = line * (0.72 - 0.25 * depth) + np.array([10, 18, 34]) * (0.3 + 0.5 * depth)
    sparkle = (rng.random((H - HORIZON, W)) < 0.004) & (np.abs(x - sun_x) < 40)
    lake = np.where(sparkle[..., None], np.array([255, 220, 170]), lake)
    img[HORIZON:] = lake
    img[HORIZON] = img[HORIZON] * 0.8 + np.array([255, 200, 140]) * 0.2  # the shoreline catches the light

    # A camera's softness and grain.
    picture = Image.fromarray(np.clip(img, 0, 255).astype(np.uint8), "RGB").filter(ImageFilter.GaussianBlur(0.6))
    grain = rng.normal(0, 3.0, (H, W, 1))
    final = np.clip(np.asarray(picture).astype(float) + grain, 0, 255).astype(np.uint8)
    Image.fromarray(final, "RGB").save(out, format="BMP")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/lakeside.bmp")
