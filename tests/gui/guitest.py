"""Helpers for the window tests: a private Xvfb and Wine session per test
module, Windows programs of the build run under Wine, windows found and
photographed with xdotool and ImageMagick, keys typed with xdotool."""
import fcntl
import os
import select
import shutil
import subprocess
import tempfile
import time

from PIL import Image

BUILD = os.environ.get("SG_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "win32"))
SOURCE = os.environ.get("SG_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
PROBE = os.path.join(BUILD, "tests", "gui_probe.exe")
SOFTGLAZE = os.path.join(BUILD, "softglaze.exe")


class Session:
    """An Xvfb display and a Wine server of the window tests' own prefix,
    both started here and stopped by process id."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="sg-gui-")
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=os.path.join(BUILD, "wineprefix-gui"),
                        WINEDEBUG=os.environ.get("SG_WINEDEBUG", "-all"),
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("KWGFX", None)
        self.server = None
        self.lock = None

    def start(self):
        # One session at a time per prefix: a second one would end the
        # first one's Wine server and bind the prefix to another display.
        self.lock = open(os.path.join(BUILD, "wineprefix-gui.lock"), "w")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        subprocess.run([os.path.join(SOURCE, "scripts", "xvfb-start"), self.dir], check=True,
                       stdout=subprocess.DEVNULL, env=self.env)
        with open(os.path.join(self.dir, "display")) as f:
            self.env["DISPLAY"] = f.read().strip()
        prefix = self.env["WINEPREFIX"]
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=180)
        # Any server of this prefix left from an earlier run was bound to
        # another display: end it, then keep one of our own for the module.
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL, timeout=60)
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def stop(self):
        if self.server is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
            try:
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()
            self.server = None
        subprocess.run([os.path.join(SOURCE, "scripts", "xvfb-stop"), self.dir], env=self.env)
        shutil.rmtree(self.dir, ignore_errors=True)
        if self.lock is not None:
            self.lock.close()  # releases the prefix
            self.lock = None

    # ---- programs --------------------------------------------------------

    def wine(self, program, args=(), extra_env=None, **kwargs):
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        return subprocess.Popen(["wine", program, *args], env=env, **kwargs)

    def windows_path(self, path):
        out = subprocess.run(["winepath", "-w", path], env=self.env, capture_output=True, text=True, check=True)
        return out.stdout.strip()

    # ---- windows and keys ------------------------------------------------

    def xdotool(self, *args, check=True):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True,
                              check=check)

    def find_window(self, title, timeout=20.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            out = self.xdotool("search", "--name", "^%s$" % title, check=False).stdout.split()
            if out:
                return int(out[0])
            time.sleep(0.1)
        return None

    def window_size(self, window):
        info = subprocess.run(["xwininfo", "-id", str(window)], env=self.env, capture_output=True, text=True,
                              check=True).stdout
        values = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return int(values["Width"]), int(values["Height"])

    def windows(self, title):
        """Every window with exactly this title."""
        out = self.xdotool("search", "--name", "^%s$" % title, check=False).stdout.split()
        return [int(w) for w in out]

    def screenshot(self, window, name="shot"):
        """A picture of one window ("root": the whole display), kept as
        NAME.png in $SG_SHOTS_DIR when that is set, else in the session's
        folder."""
        png = subprocess.run(["import", "-window", str(window), "png:-"], env=self.env, capture_output=True,
                             check=True).stdout
        folder = os.environ.get("SG_SHOTS_DIR") or self.dir
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name + ".png")
        with open(path, "wb") as f:
            f.write(png)
        return Image.open(path).convert("RGB")

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window, check=False)
        time.sleep(0.2)

    def keys(self, *names):
        """Real key presses on the focused window (the keyboard state changes)."""
        self.xdotool("key", "--delay", "60", *names, check=False)


def loaded_libraries(pid):
    """Names (lower case) of the DLLs mapped into a running Wine process."""
    names = set()
    with open("/proc/%d/maps" % pid) as f:
        for line in f:
            fields = line.split(None, 5)  # address, perms, offset, device, inode, path
            if len(fields) == 6 and fields[5].strip().lower().endswith(".dll"):
                names.add(os.path.basename(fields[5].strip()).lower())
    return names


class Probe:
    """tests/gui/gui_probe.exe: one command line in, one answer line out."""

    def __init__(self, session, driver=None, extra_env=None):
        extra = dict(extra_env or {})
        if driver:
            extra["KWGFX"] = driver
        self.process = session.wine(PROBE, extra_env=extra, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL)
        self.buffer = b""

    def command(self, line, timeout=20.0):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()
        deadline = time.time() + timeout
        fd = self.process.stdout.fileno()
        while b"\n" not in self.buffer:
            left = deadline - time.time()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise TimeoutError("no answer to %r" % line)
            chunk = os.read(fd, 4096)
            if not chunk:
                try:
                    code = self.process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    code = None
                raise EOFError("probe ended during %r (exit code %s)" % (line, code))
            self.buffer += chunk
        answer, _, self.buffer = self.buffer.partition(b"\n")
        return answer.decode().strip()

    def key_codes(self):
        return [int(v) for v in self.command("keys").split()[1:]]

    def state(self):
        """(driver, display flags, {library: loaded}) from the probe's "state"."""
        words = self.command("state").split()
        loaded = dict((k, v == "1") for k, v in (w.split("=") for w in words[3:]))
        return words[1], int(words[2]), loaded

    def close(self):
        try:
            self.command("quit", timeout=10)
        except (TimeoutError, EOFError, BrokenPipeError):
            pass
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for stream in (self.process.stdin, self.process.stdout):
            try:
                stream.close()
            except OSError:
                pass


def font_8x8():
    """The built-in 8x8 glyphs as lists of rows of booleans, by code."""
    glyphs, current = {}, None
    with open(os.path.join(SOURCE, "gfx", "text", "fonts", "font_8x8.txt")) as f:
        for line in f:
            line = line.split(";")[0].strip()
            if line.startswith("glyph"):
                current = int(line.split()[1])
                glyphs[current] = []
            elif current is not None and line and set(line) <= {"#", "."}:
                glyphs[current].append([c == "#" for c in line])
    return glyphs


def first_wrong_pixel(shot, expected):
    """(x, y, got, want) of the first pixel of a screenshot that differs from
    expected(x, y), or None."""
    width, height = shot.size
    for y in range(height):
        for x in range(width):
            want = expected(x, y)
            got = shot.getpixel((x, y))
            if got != want:
                return x, y, got, want
    return None


STRIPE_COLOURS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255)]


def draw_palette_stripes(probe, width=150):
    """On an 8-bit screen: palette entries 40..45 set to STRIPE_COLOURS
    (8-bit components keep six bits and scale back, so 255 stays 255), then
    one-pixel columns cycling through them. Column x shows
    STRIPE_COLOURS[x % 6]."""
    for i, (r, g, b) in enumerate(STRIPE_COLOURS):
        probe.command("palette %d %d %d %d" % (40 + i, r, g, b))
    for x in range(width):
        probe.command("rect %d 0 1 50 %x" % (x, 40 + x % 6))
