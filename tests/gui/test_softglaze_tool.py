"""Softglaze end to end under Wine on Xvfb, on the DirectX and on the GDI
driver: a key typed into its window, the blurred file compared with a
reference blur computed here with numpy, the window's picture, and every way
out without a file."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import numpy as np
from PIL import Image

import guitest

session = guitest.Session()
LOGO = os.path.join(guitest.SOURCE, "app", "res", "logo.bmp")
BLUE = (0x02, 0x45, 0xD0)
WHITE = (255, 255, 255)


def setUpModule():
    session.start()


def tearDownModule():
    session.stop()


def reference_blur(rgb, radius):
    """The clipped (2R+1)^2 window plus the centre once more, per channel,
    rounded to nearest with ties to even, in exact integers."""
    height, width, _ = rgb.shape
    a = rgb.astype(np.int64)
    table = np.zeros((height + 1, width + 1, 3), np.int64)
    table[1:, 1:] = a.cumsum(0).cumsum(1)
    y0 = np.clip(np.arange(height) - radius, 0, height)
    y1 = np.clip(np.arange(height) + radius, 0, height - 1) + 1
    x0 = np.clip(np.arange(width) - radius, 0, width)
    x1 = np.clip(np.arange(width) + radius, 0, width - 1) + 1
    box = (table[y1][:, x1] - table[y0][:, x1] - table[y1][:, x0] + table[y0][:, x0])
    n = ((y1 - y0)[:, None] * (x1 - x0)[None, :] + 1)[..., None]
    s = box + a
    q = s // n
    twice_rest = 2 * (s - q * n)
    q += (twice_rest > n) | ((twice_rest == n) & (q % 2 == 1))
    return q.astype(np.uint8)


def pixels(path):
    with Image.open(path) as picture:
        return np.asarray(picture.convert("RGB"))


class Tool:
    """Runs the tool with KWGFX set to DRIVER (None: not set, so the tool
    opens on the first driver that works, DirectX)."""

    DRIVER = None

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sg-tool-")
        self.process = None

    def tearDown(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, *paths):
        args = [session.windows_path(p) for p in paths]
        extra_env = {"KWGFX": self.DRIVER} if self.DRIVER else None
        self.process = session.wine(guitest.SOFTGLAZE, args, extra_env=extra_env, cwd=self.dir,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = session.find_window("Softglaze")
        self.assertIsNotNone(window, "no Softglaze window")
        # DirectDraw is loaded into the tool exactly when it shows its window
        # through the DirectX driver.
        on_directx = "ddraw.dll" in guitest.loaded_libraries(self.process.pid)
        self.assertEqual(on_directx, self.DRIVER in (None, "DirectX"), "the window's driver")
        return window

    def finish(self, timeout=120):
        code = self.process.wait(timeout=timeout)
        self.assertEqual(code, 0, "Softglaze must end with code 0")

    def type(self, window, text):
        session.xdotool("type", "--window", window, text, check=False)

    def big_picture(self):
        path = os.path.join(self.dir, "big picture.bmp")
        rng = np.random.default_rng(3)
        Image.fromarray(rng.integers(0, 256, (3000, 4000, 3), dtype=np.uint8), "RGB").save(path)
        return path

    def outputs(self):
        return sorted(f for f in os.listdir(self.dir) if "_sg_" in f)


class Blurring(Tool):
    def fixtures(self):
        rng = np.random.default_rng(11)
        made = []
        # 24-bit, odd size, written by Pillow.
        y, x = np.mgrid[0:23, 0:37]
        picture = np.stack([x * 7 % 256, y * 11 % 256, (x * y) % 256], -1) + rng.integers(0, 40, (23, 37, 3))
        path = os.path.join(self.dir, "odd size.bmp")
        Image.fromarray(np.clip(picture, 0, 255).astype(np.uint8), "RGB").save(path)
        made.append((path, "2"))
        # 8-bit with a palette, written by Pillow.
        path = os.path.join(self.dir, "paletted.bmp")
        Image.fromarray(rng.integers(0, 256, (17, 29, 3), dtype=np.uint8), "RGB").quantize(64).save(path)
        made.append((path, "5"))
        # The bundled sample (24-bit, 480 x 320).
        path = os.path.join(self.dir, "lakeside.bmp")
        shutil.copy(os.path.join(guitest.SOURCE, "samples", "lakeside.bmp"), path)
        made.append((path, "9"))
        return made

    def test_blurs_files_as_the_reference_does(self):
        for path, digit in self.fixtures():
            with self.subTest(file=os.path.basename(path)):
                with Image.open(path) as written:
                    self.assertEqual(written.format, "BMP")
                window = self.start(path)
                time.sleep(0.3)
                self.type(window, digit)
                self.finish()
                output = path[:-4] + "_sg_%s.bmp" % digit
                self.assertTrue(os.path.exists(output), output)
                expected = reference_blur(pixels(path), int(digit))
                got = pixels(output)
                self.assertEqual(got.shape, expected.shape)
                self.assertTrue(np.array_equal(got, expected),
                                "%d pixels differ" % int(np.count_nonzero((got != expected).any(-1))))

    def test_the_window_shows_the_logo_and_then_the_key(self):
        path = self.big_picture()
        window = self.start(path)
        logo = pixels(LOGO)
        time.sleep(0.5)
        before = np.asarray(session.screenshot(window, "tool_logo_%s" % (self.DRIVER or "default")))
        self.assertEqual(before.shape, (50, 150, 3))
        # The logo, with the prompt's blank blue cell over its top-left corner.
        self.assertTrue((before[:8, :8] == BLUE).all())
        rest = np.ones((50, 150), bool)
        rest[:8, :8] = False
        self.assertTrue(np.array_equal(before[rest], logo[rest]))

        self.type(window, "4")
        time.sleep(0.15)  # the display thread shows it within one pass; the blur takes longer
        after = np.asarray(session.screenshot(window, "tool_key_%s" % (self.DRIVER or "default")))
        glyph = guitest.font_8x8()[ord("4")]
        for y in range(8):
            for x in range(8):
                self.assertEqual(tuple(after[y, x]), WHITE if glyph[y][x] else BLUE, "cell pixel (%d, %d)" % (x, y))
        self.assertTrue(np.array_equal(after[rest], logo[rest]))
        self.finish()
        self.assertEqual(self.outputs(), ["big picture_sg_4.bmp"])


class WaysOut(Tool):
    def test_escape_at_the_prompt_writes_nothing(self):
        path = os.path.join(self.dir, "small.bmp")
        Image.new("RGB", (5, 5), (10, 20, 30)).save(path)
        window = self.start(path)
        time.sleep(0.3)
        session.xdotool("key", "--window", window, "Escape", check=False)
        self.finish(timeout=30)
        self.assertEqual(self.outputs(), [])

    def test_escape_held_during_the_blur_writes_nothing(self):
        path = self.big_picture()
        window = self.start(path)
        time.sleep(0.3)
        session.focus(window)
        session.keys("9")
        session.xdotool("keydown", "Escape", check=False)
        try:
            self.finish(timeout=60)
        finally:
            session.xdotool("keyup", "Escape", check=False)
        self.assertEqual(self.outputs(), [])

    def test_an_empty_command_line_writes_nothing(self):
        window = self.start()
        time.sleep(0.3)
        self.type(window, "3")
        self.finish(timeout=30)
        self.assertEqual(os.listdir(self.dir), [])


class BlurringOnDirectX(Blurring, unittest.TestCase):
    DRIVER = "DirectX"


class BlurringOnGdi(Blurring, unittest.TestCase):
    DRIVER = "GDI"


class WaysOutOnDirectX(WaysOut, unittest.TestCase):
    DRIVER = "DirectX"


class WaysOutOnGdi(WaysOut, unittest.TestCase):
    DRIVER = "GDI"


class Drivers(Tool, unittest.TestCase):
    def test_without_kwgfx_the_tool_opens_on_directx(self):
        path = os.path.join(self.dir, "small.bmp")
        Image.new("RGB", (5, 5), (10, 20, 30)).save(path)
        window = self.start(path)  # checks that DirectDraw shows the window
        time.sleep(0.3)
        self.type(window, "1")
        self.finish(timeout=30)
        self.assertEqual(self.outputs(), ["small_sg_1.bmp"])

    def test_the_null_driver_shows_no_window_and_keeps_waiting(self):
        path = os.path.join(self.dir, "small.bmp")
        Image.new("RGB", (5, 5), (10, 20, 30)).save(path)
        self.process = session.wine(guitest.SOFTGLAZE, [session.windows_path(path)], extra_env={"KWGFX": "null"},
                                    cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertIsNone(session.find_window("Softglaze", timeout=4))
        self.assertIsNone(self.process.poll(), "the tool keeps waiting for a key")
        self.process.kill()
        self.process.wait()
        self.assertEqual(self.outputs(), [])


if __name__ == "__main__":
    unittest.main()
