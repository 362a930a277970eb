"""The window layer and the GDI driver under Wine on Xvfb: what is drawn in
memory appears in the window, and real key presses arrive as key codes."""
import time
import unittest

from Xlib import X, display, protocol

import guitest

TITLE = "Softglaze probe"
session = guitest.Session()


def setUpModule():
    session.start()


def tearDownModule():
    session.stop()


class GdiTest(unittest.TestCase):
    def setUp(self):
        self.probe = guitest.Probe(session, driver="GDI")

    def tearDown(self):
        self.probe.close()

    def open(self, command):
        self.assertEqual(self.probe.command(command), "ok GDI")
        window = session.find_window(TITLE)
        self.assertIsNotNone(window, "no window titled %r" % TITLE)
        return window

    def settle(self):
        self.probe.command("sleep 150")  # a few display updates

    def assertPixels(self, shot, expected, where=""):
        wrong = guitest.first_wrong_pixel(shot, expected)
        if wrong is not None:
            self.fail("%s pixel (%d, %d) is %s, not %s" % ((where,) + wrong))


class Pictures(GdiTest):
    def test_thirty_two_bit_window_shows_the_page(self):
        window = self.open("open 150 50 32 0")
        self.assertEqual(session.window_size(window), (150, 50))
        for command in ("rect 0 0 150 50 203040", "rect 10 10 20 5 FF0000", "rect 143 40 7 10 00FF00",
                        "line 49 0000FF", "rect 0 0 1 1 FFFFFF"):
            self.assertEqual(self.probe.command(command), "ok")
        self.settle()

        def expected(x, y):
            if (x, y) == (0, 0):
                return (255, 255, 255)
            if y == 49:
                return (0, 0, 255)
            if 10 <= x < 30 and 10 <= y < 15:
                return (255, 0, 0)
            if x >= 143 and y >= 40:
                return (0, 255, 0)
            return (0x20, 0x30, 0x40)
        self.assertPixels(session.screenshot(window), expected, "32-bit")

        # Two separate dirty lines go out as one band; the rest stays.
        self.probe.command("line 10 FFFF00")
        self.probe.command("line 20 00FFFF")
        self.settle()
        shot = session.screenshot(window)
        self.assertEqual(shot.getpixel((75, 10)), (255, 255, 0))
        self.assertEqual(shot.getpixel((75, 20)), (0, 255, 255))
        self.assertEqual(shot.getpixel((75, 15)), (0x20, 0x30, 0x40))
        self.assertEqual(shot.getpixel((20, 12)), (255, 0, 0))

    def test_eight_bit_width_not_a_multiple_of_four_after_a_palette_change(self):
        window = self.open("open 150 50 8 0")
        guitest.draw_palette_stripes(self.probe)
        colours = guitest.STRIPE_COLOURS
        self.settle()
        self.assertPixels(session.screenshot(window), lambda x, y: colours[x % 6], "8-bit")

        # Changing an entry recolours what was drawn with it.
        self.probe.command("palette 41 128 64 32")  # six bits 32, 16, 8
        self.settle()
        self.assertEqual(session.screenshot(window).getpixel((1, 25)), (129, 64, 32))

    def test_sixteen_bit_window(self):
        window = self.open("open 150 50 16 0")
        self.probe.command("rect 0 0 75 50 FF0000")
        self.probe.command("rect 75 0 75 50 00FF00")
        self.probe.command("rect 0 40 150 10 0000FF")
        self.settle()
        shot = session.screenshot(window)
        # The 16-bit page goes to the window as 5:5:5; 8 levels of slack.
        for (x, y), want in (((10, 10), (255, 0, 0)), ((100, 10), (0, 255, 0)), ((70, 45), (0, 0, 255)),
                             ((149, 0), (0, 255, 0))):
            got = shot.getpixel((x, y))
            self.assertTrue(all(abs(a - b) <= 8 for a, b in zip(got, want)), "(%d, %d): %s" % (x, y, got))

    def test_line_doubled_mode(self):
        window = self.open("mode 2 0 0")  # 640 x 200, each line shown twice
        self.assertEqual(session.window_size(window), (640, 400))
        self.probe.command("line 10 1")
        self.probe.command("rect 100 50 20 1 1")
        self.settle()
        shot = session.screenshot(window)
        white, black = (255, 255, 255), (0, 0, 0)
        for y in (19, 20, 21, 22, 99, 100, 101, 102):
            row_is_white = y in (20, 21)
            self.assertEqual(shot.getpixel((5, y)), white if row_is_white else black, "row %d" % y)
        self.assertEqual(shot.getpixel((110, 100)), white)
        self.assertEqual(shot.getpixel((110, 101)), white)
        self.assertEqual(shot.getpixel((130, 101)), black)


class Switching(GdiTest):
    """Alt+Enter asks for full screen, which GDI refuses: the layer closes the
    window and opens a fresh one in the window mode again, with the picture
    redrawn. With no_switch (flag 4) nothing happens."""

    def alt_enter(self, window):
        session.focus(window)
        session.keys("alt+Return")
        self.probe.command("sleep 300")

    def test_alt_enter_reopens_the_window_with_its_picture(self):
        window = self.open("open 150 50 32 0")
        self.probe.command("rect 0 0 150 50 336699")
        self.settle()
        self.alt_enter(window)
        fresh = session.find_window(TITLE)
        self.assertIsNotNone(fresh)
        self.assertNotEqual(fresh, window, "a new window replaces the old one")
        self.assertEqual(session.window_size(fresh), (150, 50))
        self.assertPixels(session.screenshot(fresh), lambda x, y: (0x33, 0x66, 0x99), "after the switch")
        self.assertEqual(self.probe.key_codes(), [], "the switch key itself is not queued")

    def test_no_switch_keeps_the_window(self):
        window = self.open("open 150 50 32 4")
        self.alt_enter(window)
        self.assertEqual(session.find_window(TITLE), window)


class Keyboard(GdiTest):
    def setUp(self):
        super().setUp()
        self.window = self.open("open 150 50 32 0")
        self.probe.command("keys")  # start from an empty queue

    def codes_after(self, action, count, timeout=5.0):
        action()
        codes, deadline = [], time.time() + timeout
        while len(codes) < count and time.time() < deadline:
            time.sleep(0.1)
            codes += self.probe.key_codes()
        return codes

    def test_a_typed_digit_arrives_as_its_character(self):
        codes = self.codes_after(lambda: session.xdotool("type", "--window", self.window, "7"), 1)
        self.assertEqual(codes, [ord("7")])

    def test_extended_keys(self):
        session.focus(self.window)
        cases = (("Up", 0x48FF), ("F1", 0x3BFF), ("shift+F1", 0x54FF), ("alt+a", 0x1EFF))
        for key, code in cases:
            self.assertEqual(self.codes_after(lambda: session.keys(key), 1), [code], key)

    def test_the_close_button_queues_a_close_request(self):
        x = display.Display(session.env["DISPLAY"])
        window = x.create_resource_object("window", self.window)
        protocols = x.intern_atom("WM_PROTOCOLS")
        delete = x.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        codes = self.codes_after(lambda: (window.send_event(event), x.flush()), 1)
        x.close()
        self.assertEqual(codes, [0x6BFF])
        self.assertIsNotNone(session.find_window(TITLE, timeout=2), "the window must stay open")

    def down_within(self, answer, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.probe.command("down 1") == answer:
                return True
            time.sleep(0.05)
        return False

    def test_escape_is_down_while_held(self):
        session.focus(self.window)
        self.assertTrue(self.down_within("down 0"))
        session.xdotool("keydown", "Escape", check=False)
        try:
            self.assertTrue(self.down_within("down -1"), "Escape held down")
        finally:
            session.xdotool("keyup", "Escape", check=False)
        self.assertTrue(self.down_within("down 0"), "Escape released")


if __name__ == "__main__":
    unittest.main()
