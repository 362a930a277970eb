#!/usr/bin/python3
"""Times Pillow on the picture of bench/image_files_bench.cpp: loading and
decoding a 4000 x 3000 24-bit BMP, and saving it as a BMP again. The
reference for the image file benchmarks, on the same machine.

    /usr/bin/python3 bench/pillow_bmp_timing.py [FILE] [--repeat N]

FILE defaults to $TMPDIR or /tmp, sg_bench_4000x3000.bmp, the file the
benchmark program writes; when it does not exist, a 24-bit BMP of the same
size and pattern is written with Pillow first. Prints the best and median
time of each operation in milliseconds.
"""
import argparse
import os
import statistics
import tempfile
import time

from PIL import Image

WIDTH, HEIGHT = 4000, 3000


def default_file():
    return os.path.join(os.environ.get("TMPDIR") or "/tmp", "sg_bench_4000x3000.bmp")


def make_file(path):
    # Same pattern as the benchmark program: red (x * 7), green (y * 5), blue (x + y).
    rows = bytearray(WIDTH * HEIGHT * 3)
    i = 0
    for y in range(HEIGHT):
        g = (y * 5) & 0xFF
        for x in range(WIDTH):
            rows[i] = (x * 7) & 0xFF
            rows[i + 1] = g
            rows[i + 2] = (x + y) & 0xFF
            i += 3
    Image.frombytes("RGB", (WIDTH, HEIGHT), bytes(rows)).save(path, "BMP")


def timed(action, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        action()
        times.append((time.perf_counter() - start) * 1000.0)
    return min(times), statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file", nargs="?", default=default_file())
    parser.add_argument("--repeat", type=int, default=15)
    args = parser.parse_args()
    if not os.path.exists(args.file):
        make_file(args.file)

    def load():
        with Image.open(args.file) as im:
            im.load()

    with Image.open(args.file) as im:
        im.load()
        picture = im.copy()
    assert picture.size == (WIDTH, HEIGHT) and picture.mode == "RGB"

    out = tempfile.NamedTemporaryFile(suffix=".bmp", delete=False)
    out.close()
    try:
        load_best, load_median = timed(load, args.repeat)
        save_best, save_median = timed(lambda: picture.save(out.name, "BMP"), args.repeat)
    finally:
        os.remove(out.name)
    print(f"file {args.file}")
    print(f"pillow load+decode  best {load_best:8.1f} ms  median {load_median:8.1f} ms")
    print(f"pillow save         best {save_best:8.1f} ms  median {save_median:8.1f} ms")


if __name__ == "__main__":
    main()
