"""The OpenGL driver under Wine on Xvfb (Mesa): a screen opened with the
opengl flag has a context current on the opening thread, what the program
clears with OpenGL shows after page_copy, keys arrive only through page_copy,
the stencil and accumulation requests reach the pixel format, and full screen
works where a mode can be set and falls back to a window where it cannot."""
import time
import unittest

import guitest

TITLE = "Softglaze probe"
XVFB_MODE = 0x04000300  # 1024 x 768, the only mode of the private Xvfb
OPENGL, FULLSCREEN, STENCIL, ACCUMULATION = 2, 1, 16, 32
session = guitest.Session()


def setUpModule():
    session.start()


def tearDownModule():
    session.stop()


class OpenGlTest(unittest.TestCase):
    def setUp(self):
        self.probe = guitest.Probe(session)

    def tearDown(self):
        self.probe.close()

    def open(self, width, height, flags):
        self.assertEqual(self.probe.command("open %d %d 32 %d" % (width, height, flags), timeout=90), "ok OpenGL")
        window = session.find_window(TITLE)
        self.assertIsNotNone(window, "no window titled %r" % TITLE)
        return window

    def clear_and_present(self, colour):
        self.assertEqual(self.probe.command("glclear %06X" % colour), "ok")
        self.assertEqual(self.probe.command("present"), "ok")
        self.probe.command("sleep 150")

    def assertUniform(self, shot, colour, where):
        want = ((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)
        colours = shot.getcolors(maxcolors=16)
        self.assertIsNotNone(colours, "%s: many colours" % where)
        self.assertEqual([c for _, c in colours], [want], where)


class Window(OpenGlTest):
    def test_a_current_context_and_what_it_clears_shows_after_present(self):
        window = self.open(150, 50, OPENGL)
        self.assertEqual(self.probe.state()[:2], ("OpenGL", OPENGL))
        self.assertEqual(self.probe.command("glcontext"), "glcontext 1")
        # Created at 320 x 200, then sized to the picture.
        self.assertEqual(session.window_size(window), (150, 50))

        self.clear_and_present(0x336699)
        self.assertUniform(session.screenshot(window, "opengl_window"), 0x336699, "first frame")

        # The library's own drawing stays in memory; only OpenGL shows.
        self.assertEqual(self.probe.command("fill FF0000"), "ok")
        self.clear_and_present(0xCC8811)
        self.assertUniform(session.screenshot(window, "opengl_window_second"), 0xCC8811, "second frame")

        self.assertEqual(self.probe.command("close", timeout=30), "ok")
        self.assertEqual(self.probe.command("glcontext"), "glcontext 0")
        self.assertEqual(session.windows(TITLE), [])

    def test_keys_arrive_only_through_present(self):
        window = self.open(150, 50, OPENGL)
        self.probe.command("present")
        self.probe.command("keys")  # start from an empty queue
        session.xdotool("type", "--window", window, "5")
        time.sleep(1.0)  # a display thread would have delivered it long ago
        self.assertEqual(self.probe.key_codes(), [])
        codes, deadline = [], time.time() + 5
        while not codes and time.time() < deadline:
            self.probe.command("present")
            codes = self.probe.key_codes()
        self.assertEqual(codes, [ord("5")])

    def test_stencil_and_accumulation_requests_reach_the_pixel_format(self):
        for flags in (0, STENCIL, ACCUMULATION, STENCIL | ACCUMULATION):
            with self.subTest(stencil=bool(flags & STENCIL), accumulation=bool(flags & ACCUMULATION)):
                self.open(150, 50, OPENGL | flags)
                words = self.probe.command("pixelformat").split()
                self.assertEqual(words[0], "pixelformat")
                colour, depth, stencil, accumulation, most = map(int, words[1:])
                self.assertEqual(colour, 32)
                self.assertGreaterEqual(depth, 24)
                self.assertEqual(stencil, 8 if flags & STENCIL else 0)
                self.assertGreater(most, 0, "the system offers accumulation buffers")
                if flags & ACCUMULATION:
                    self.assertGreaterEqual(accumulation, 32)
                else:
                    self.assertEqual(accumulation, 0)

    def test_display_modes(self):
        words = self.probe.command("modes OpenGL 32").split()
        self.assertEqual(int(words[1]), len(words) - 2)
        self.assertIn(XVFB_MODE, [int(w, 16) for w in words[2:]])
        self.assertEqual(self.probe.command("modes OpenGL 12"), "modes none")


class FullScreen(OpenGlTest):
    def test_full_screen_in_the_desktop_mode(self):
        self.open(1024, 768, OPENGL | FULLSCREEN)
        self.assertEqual(self.probe.state()[:2], ("OpenGL", OPENGL | FULLSCREEN))
        self.assertEqual(self.probe.command("glcontext"), "glcontext 1")
        self.clear_and_present(0xFF8000)
        self.assertUniform(session.screenshot("root", "opengl_full_screen"), 0xFF8000, "the whole display")
        self.assertEqual(self.probe.command("close", timeout=30), "ok")
        self.assertEqual(session.windows(TITLE), [])

    def test_without_a_mode_the_search_opens_a_window(self):
        # Pass 1: DirectX and GDI refuse the opengl flag, OpenGL finds no
        # 150 x 50 mode; pass 2, full screen flipped: OpenGL in a window.
        window = self.open(150, 50, OPENGL | FULLSCREEN)
        self.assertEqual(self.probe.state()[:2], ("OpenGL", OPENGL))
        self.assertEqual(session.windows(TITLE), [window])
        self.assertEqual(session.window_size(window), (150, 50))
        self.clear_and_present(0x20C040)
        self.assertUniform(session.screenshot(window), 0x20C040, "window after the fall back")


if __name__ == "__main__":
    unittest.main()
