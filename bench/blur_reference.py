#!/usr/bin/python3
"""Times OpenCV's single-threaded box filter and Pillow's BoxBlur on a
4000 x 3000 four-channel picture, the reference for bench/blur_bench.cpp.
Needs Debian's python3-opencv, python3-pil and python3-numpy."""
import time

import cv2
import numpy as np
from PIL import Image, ImageFilter


def best_ms(fn, repeat=7):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best * 1000


def main():
    cv2.setNumThreads(1)
    rng = np.random.default_rng(42)
    picture = rng.integers(0, 256, size=(3000, 4000, 4), dtype=np.uint8)
    pil_picture = Image.fromarray(picture, "RGBA")
    for radius in (1, 3, 9):
        k = 2 * radius + 1
        cv = best_ms(lambda: cv2.blur(picture, (k, k), borderType=cv2.BORDER_CONSTANT))
        pil = best_ms(lambda: pil_picture.filter(ImageFilter.BoxBlur(radius)), repeat=3)
        print(f"radius {radius}: cv2.blur {cv:7.1f} ms   Pillow BoxBlur {pil:7.1f} ms")


if __name__ == "__main__":
    main()
