"""The DirectDraw driver under Wine on Xvfb: what is drawn in memory appears
through DirectDraw surfaces for every framebuffer depth, the keyboard state
comes from DirectInput, full screen works where Wine can set a mode and falls
back to a window where it cannot, and screen opening picks drivers in the
order KWGFX and the flags ask for."""
import time
import unittest

import guitest

TITLE = "Softglaze probe"
XVFB_MODE = 0x04000300  # 1024 x 768, the only mode of the private Xvfb
session = guitest.Session()


def setUpModule():
    session.start()


def tearDownModule():
    session.stop()


def rgb(colour):
    return (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF


def shown(colour, depth):
    """A colour drawn on a screen of that depth as the 32-bit display shows
    it: a 16-bit framebuffer keeps 5:6:5 and expands with the low bits zero."""
    r, g, b = rgb(colour)
    return (r & 0xF8, g & 0xFC, b & 0xF8) if depth == 16 else (r, g, b)


class DirectDrawTest(unittest.TestCase):
    DRIVER = "DirectX"

    def setUp(self):
        self.probe = guitest.Probe(session, driver=self.DRIVER)

    def tearDown(self):
        self.probe.close()

    def open(self, command, driver="DirectX"):
        self.assertEqual(self.probe.command(command, timeout=90), "ok " + driver)
        window = session.find_window(TITLE)
        self.assertIsNotNone(window, "no window titled %r" % TITLE)
        return window

    def settle(self):
        self.probe.command("sleep 150")  # a few display updates

    def draw(self, *commands):
        for command in commands:
            self.assertEqual(self.probe.command(command), "ok", command)

    def wait_for_flags(self, flags, timeout=30.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.probe.state()[1] == flags:
                return
            time.sleep(0.05)
        self.fail("display flags never became %d" % flags)

    def assertPixels(self, shot, expected, where=""):
        wrong = guitest.first_wrong_pixel(shot, expected)
        if wrong is not None:
            self.fail("%s pixel (%d, %d) is %s, not %s" % ((where,) + wrong))


# A 150 x 50 picture: background, a rectangle, one colour per column in the
# last six columns (the tail that whole-step converters would leave out), the
# bottom line and the corner pixel.
BACKGROUND, BOX, BOTTOM, CORNER = 0x203040, 0xFF0000, 0x0000FF, 0xFFFFFF
LAST_COLUMNS = (0x00FF00, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080, 0xFF8000)


def picture_commands():
    commands = ["rect 0 0 150 50 %X" % BACKGROUND, "rect 10 10 20 5 %X" % BOX]
    commands += ["rect %d 0 1 49 %X" % (144 + i, c) for i, c in enumerate(LAST_COLUMNS)]
    commands += ["line 49 %X" % BOTTOM, "rect 0 0 1 1 %X" % CORNER]
    return commands


def picture(x, y):
    if (x, y) == (0, 0):
        return CORNER
    if y == 49:
        return BOTTOM
    if x >= 144:
        return LAST_COLUMNS[x - 144]
    if 10 <= x < 30 and 10 <= y < 15:
        return BOX
    return BACKGROUND


class Pictures(DirectDrawTest):
    def test_sixteen_and_thirty_two_bit_screens_show_their_pixels(self):
        for depth in (32, 16):
            with self.subTest(depth=depth):
                window = self.open("open 150 50 %d 0" % depth)
                self.assertEqual(session.window_size(window), (150, 50))
                self.draw(*picture_commands())
                self.settle()
                shot = session.screenshot(window, "directx_%d" % depth)
                self.assertPixels(shot, lambda x, y: shown(picture(x, y), depth), "%d-bit" % depth)

                # Later changes go out as well; the rest stays.
                self.draw("line 20 00FFFF")
                self.settle()
                shot = session.screenshot(window)
                self.assertEqual(shot.getpixel((75, 20)), shown(0x00FFFF, depth))
                self.assertEqual(shot.getpixel((20, 12)), shown(BOX, depth))
                self.assertEqual(shot.getpixel((149, 10)), shown(LAST_COLUMNS[5], depth))

    def test_eight_bit_screen_after_palette_changes(self):
        window = self.open("open 150 50 8 0")
        guitest.draw_palette_stripes(self.probe)
        colours = guitest.STRIPE_COLOURS
        self.settle()
        shot = session.screenshot(window, "directx_8")
        self.assertPixels(shot, lambda x, y: colours[x % 6], "8-bit")

        # Changing an entry recolours what was drawn with it, the last column too.
        self.probe.command("palette 41 128 64 32")  # six bits 32, 16, 8
        self.settle()
        shot = session.screenshot(window, "directx_8_changed")
        for x in (1, 7, 145):
            self.assertEqual(shot.getpixel((x, 25)), (129, 64, 32), "column %d" % x)
        self.assertEqual(shot.getpixel((149, 25)), colours[149 % 6])

    def test_line_doubled_mode(self):
        window = self.open("mode 2 0 0")  # 640 x 200, each line shown twice
        self.assertEqual(session.window_size(window), (640, 400))
        self.draw("line 10 1", "rect 100 50 20 1 1")
        self.settle()
        shot = session.screenshot(window)
        white, black = (255, 255, 255), (0, 0, 0)
        for y in (19, 20, 21, 22, 99, 100, 101, 102):
            self.assertEqual(shot.getpixel((5, y)), white if y in (20, 21) else black, "row %d" % y)
        self.assertEqual(shot.getpixel((110, 101)), white)
        self.assertEqual(shot.getpixel((130, 101)), black)

    def test_wait_vsync_returns_and_updates_go_on(self):
        window = self.open("open 150 50 32 0")
        for _ in range(3):
            self.assertEqual(self.probe.command("vsync", timeout=5), "ok")
        self.draw("rect 0 0 150 50 406080")
        self.settle()
        self.assertEqual(session.screenshot(window).getpixel((75, 25)), (0x40, 0x60, 0x80))

    def test_display_modes_with_and_without_an_open_display(self):
        def modes():
            words = self.probe.command("modes DirectX 32").split()
            self.assertNotEqual(words[1], "none")
            self.assertEqual(int(words[1]), len(words) - 2)
            return [int(w, 16) for w in words[2:]]
        self.assertIn(XVFB_MODE, modes())  # a DirectDraw object of its own
        self.open("open 150 50 32 0")
        self.assertIn(XVFB_MODE, modes())  # the open display's
        self.assertEqual(self.probe.state()[0], "DirectX")


class Keyboard(DirectDrawTest):
    def setUp(self):
        super().setUp()
        self.window = self.open("open 150 50 32 0")
        self.probe.command("keys")  # start from an empty queue

    def down_within(self, scancode, answer, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.probe.command("down %d" % scancode) == "down %d" % answer:
                return True
            time.sleep(0.05)
        return False

    def test_a_typed_digit_arrives_as_its_character(self):
        session.xdotool("type", "--window", self.window, "7")
        codes, deadline = [], time.time() + 5
        while not codes and time.time() < deadline:
            time.sleep(0.1)
            codes = self.probe.key_codes()
        self.assertEqual(codes, [ord("7")])

    def test_held_keys_through_directinput(self):
        session.focus(self.window)
        # Escape is DirectInput code 1; the left Windows key is 0xDB and shows
        # at 0x5B (the Windows keyboard state would put it at 0x7D).
        for key, scancode, elsewhere in (("Escape", 0x01, None), ("Super_L", 0x5B, 0x7D)):
            with self.subTest(key=key):
                self.assertTrue(self.down_within(scancode, 0), "%s up at first" % key)
                session.xdotool("keydown", key, check=False)
                try:
                    self.assertTrue(self.down_within(scancode, -1), "%s held down" % key)
                    if elsewhere is not None:
                        self.assertEqual(self.probe.command("down %d" % elsewhere), "down 0")
                finally:
                    session.xdotool("keyup", key, check=False)
                self.assertTrue(self.down_within(scancode, 0), "%s released" % key)


class Switching(DirectDrawTest):
    def test_alt_enter_without_a_full_screen_mode_leaves_a_fresh_window(self):
        window = self.open("open 150 50 32 0")
        self.draw(*picture_commands())
        self.settle()
        session.focus(window)
        session.keys("alt+Return")
        self.wait_for_flags(1, timeout=5)   # trying full screen ...
        self.wait_for_flags(0)              # ... which has no 150 x 50 mode
        self.probe.command("sleep 300")
        windows = session.windows(TITLE)
        self.assertEqual(len(windows), 1, "the full-screen window is gone")
        self.assertEqual(session.window_size(windows[0]), (150, 50))
        self.assertEqual(self.probe.state()[2]["dinput"], True)
        self.assertPixels(session.screenshot(windows[0], "directx_after_switch"),
                          lambda x, y: shown(picture(x, y), 32), "after the switch")

    def test_alt_enter_to_full_screen_and_back(self):
        window = self.open("open 1024 768 32 0")
        self.draw("rect 0 0 1024 768 203040", "rect 1000 300 24 468 FF0000", "rect 0 0 8 8 FFFFFF")
        self.settle()
        session.focus(window)
        session.keys("alt+Return")
        self.wait_for_flags(1)
        self.probe.command("sleep 500")
        shot = session.screenshot("root", "directx_switched_full_screen")
        self.assertEqual(shot.size, (1024, 768))
        for (x, y), want in (((4, 4), (255, 255, 255)), ((500, 400), (0x20, 0x30, 0x40)),
                             ((1023, 767), (255, 0, 0))):
            self.assertEqual(shot.getpixel((x, y)), want, "(%d, %d)" % (x, y))

        session.focus(session.find_window(TITLE))
        session.keys("alt+Return")
        self.wait_for_flags(0)
        self.probe.command("sleep 500")
        window = session.find_window(TITLE)
        self.assertIsNotNone(window)
        # With its caption the window is taller than the display: only the
        # part on the display can be photographed.
        shot = session.screenshot(window, "directx_switched_back")
        self.assertEqual(shot.getpixel((500, 400)), (0x20, 0x30, 0x40))
        self.assertEqual(shot.getpixel((1010, 400)), (255, 0, 0))


class FullScreen(DirectDrawTest):
    def test_a_picture_shorter_than_any_mode_is_centred_in_the_next_taller_one(self):
        self.open("open 1024 700 32 1")
        self.assertEqual(self.probe.state()[1], 1)
        self.draw("rect 0 0 1024 700 203040", "rect 0 0 10 10 FF0000", "line 699 00FF00")
        self.settle()
        shot = session.screenshot("root", "directx_full_screen_700")
        # 768 - 700 = 68 free rows: 34 above the picture, 34 below.
        for y, want in ((0, (0, 0, 0)), (33, (0, 0, 0)), (34, (255, 0, 0)), (43, (255, 0, 0)),
                        (44, (0x20, 0x30, 0x40)), (732, (0x20, 0x30, 0x40)), (733, (0, 255, 0)),
                        (734, (0, 0, 0)), (767, (0, 0, 0))):
            self.assertEqual(shot.getpixel((5, y)), want, "row %d" % y)
        self.assertEqual(self.probe.command("close", timeout=30), "ok")
        self.assertEqual(session.windows(TITLE), [])


class FullScreenFallback(DirectDrawTest):
    DRIVER = None  # the plain search: all drivers, then all with full screen flipped

    def test_without_a_mode_the_search_opens_a_window(self):
        window = self.open("open 150 50 32 1")
        driver, flags, loaded = self.probe.state()
        self.assertEqual((driver, flags), ("DirectX", 0))
        # Every failed full-screen attempt took its window and objects down.
        self.assertEqual(session.windows(TITLE), [window])
        self.assertEqual(session.window_size(window), (150, 50))
        self.draw(*picture_commands())
        self.settle()
        self.assertPixels(session.screenshot(window), lambda x, y: shown(picture(x, y), 32))


def without(library):
    """Wine's library overrides that make LoadLibrary fail for one library."""
    return {"WINEDLLOVERRIDES": session.env["WINEDLLOVERRIDES"] + ";%s=d" % library}


class DriverChoice(unittest.TestCase):
    """Which driver screen opening takes for KWGFX, the flags and the
    libraries at hand, and which of DirectDraw and DirectInput are loaded
    once the screen is open (None: not looked at)."""

    CASES = (
        # KWGFX, flags, environment, driver taken, display flags, ddraw.dll, dinput.dll
        (None, 0, None, "DirectX", 0, True, True),
        ("GDI", 0, None, "GDI", 0, False, False),        # DirectX's init never runs
        ("gdi", 0, None, "GDI", 0, False, False),
        ("OpenGL", 0, None, "DirectX", 0, True, True),   # refused, then all drivers in order
        ("DirectX", 2, None, "OpenGL", 2, False, False),  # refused at once, before loading anything
        ("GDI", 2, None, "OpenGL", 2, False, False),
        # Without one of the libraries DirectX cannot open; what it loaded
        # on the way is released again. (Wine keeps ddraw.dll once loaded.)
        (None, 0, without("ddraw"), "GDI", 0, False, False),
        (None, 0, without("dinput"), "GDI", 0, None, False),
    )

    def test_driver_search(self):
        for variable, flags, environment, driver, display_flags, directdraw, directinput in self.CASES:
            with self.subTest(KWGFX=variable, flags=flags, environment=environment):
                probe = guitest.Probe(session, driver=variable, extra_env=environment)
                try:
                    self.assertEqual(probe.command("open 150 50 32 %d" % flags, timeout=90), "ok " + driver)
                    taken, got_flags, loaded = probe.state()
                    self.assertEqual((taken, got_flags), (driver, display_flags))
                    if directdraw is not None:
                        self.assertEqual(loaded["ddraw"], directdraw)
                    self.assertEqual(loaded["dinput"], directinput)
                finally:
                    probe.close()


if __name__ == "__main__":
    unittest.main()
