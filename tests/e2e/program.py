"""The real downloader executable in a process group of its own, and the X windows it shows
(found and clicked with xdotool in the test's X server)."""

import os
import signal
import subprocess
import time

from peers import wait_until

WINDOW_TITLE = "Tavrin手机伴侣"
BOX_TITLE = "提示"
# Points on the page's buttons, in window pixels (the page is drawn for 627 x 467). The buttons
# sit 16 pixels higher while the figures line is empty; y = 428 is on them either way.
CANCEL_BUTTON = (575, 428)
RETRY_BUTTON = (493, 428)
CLOSE_BUTTON = (604, 15)  # the × at the title strip's right end
TITLE_STRIP = (300, 15)  # the strip's empty middle


def binary():
    return os.environ.get("DOWNLOADER_BIN", "")


class Downloader:
    """One start of the program; killed with its web processes when the test ends."""

    def __init__(self, sandbox, wrapper=(), preexec_fn=None):
        self.output = os.path.join(sandbox.root, f"downloader-{time.monotonic_ns()}.out")
        with open(self.output, "wb") as out:
            self.process = subprocess.Popen([*wrapper, binary()], env=sandbox.env(),
                                            cwd=sandbox.home, stdout=out,
                                            stderr=subprocess.STDOUT, start_new_session=True,
                                            preexec_fn=preexec_fn)

    @property
    def pid(self):
        return self.process.pid

    def alive(self):
        return self.process.poll() is None

    def wait(self, timeout):
        """Exit status, or None while still running after timeout seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        """SIGKILL to the whole group: the program and its web processes."""
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait(10)

    def text_output(self):
        with open(self.output, "rb") as source:
            return source.read().decode("utf-8", "replace")

    # Windows of this process group's X client.
    def windows(self, title):
        return find_windows(title, self.pid)

    def wait_window(self, title=WINDOW_TITLE, timeout=20):
        return wait_until(lambda: self.windows(title), timeout, 0.1)

    def click(self, position, title=WINDOW_TITLE):
        found = self.windows(title)
        if not found:
            return False
        return click(found[0], *position)


def xdotool(*args):
    done = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)
    return done.returncode, done.stdout


def find_windows(title, pid=None):
    """Visible top-level windows whose title is exactly title (and belong to pid)."""
    args = ["search", "--all", "--onlyvisible", "--name", f"^{title}$"]
    if pid is not None:
        args[1:1] = ["--pid", str(pid)]
    code, out = xdotool(*args)
    return out.split() if code == 0 else []


def click(window, x, y):
    """Moves the pointer onto (x, y) of window, lets the page see it arrive, then clicks."""
    code, _ = xdotool("mousemove", "--window", window, str(x), str(y))
    time.sleep(0.3)
    return code == 0 and xdotool("click", "1")[0] == 0


def pointer_to(window, x, y):
    """Moves the pointer onto (x, y) of window and lets the page see it arrive; the pointer's
    place on the screen."""
    xdotool("mousemove", "--window", window, str(x), str(y))
    time.sleep(0.3)
    return shell_values("getmouselocation")


def shell_values(command, *args):
    """The X=..., Y=... lines that an xdotool command prints with --shell, as numbers."""
    _, out = xdotool(command, "--shell", *args)
    return {k: int(v) for k, v in (line.split("=") for line in out.split()) if v.isdigit()}


def press(window, x, y, hold, moves=()):
    """A person's click: the button goes down on (x, y) of window, the pointer moves by each of
    moves (offsets from that point, one each 50 ms), and the button comes up after hold
    seconds."""
    at = pointer_to(window, x, y)
    code, _ = xdotool("mousedown", "1")
    time.sleep(hold)
    for dx, dy in moves:
        xdotool("mousemove", str(at["X"] + dx), str(at["Y"] + dy))
        time.sleep(0.05)
    return code == 0 and xdotool("mouseup", "1")[0] == 0


def position(window):
    """The window's top-left corner on the screen."""
    at = shell_values("getwindowgeometry", window)
    return at["X"], at["Y"]


def keys(window, *names):
    """Gives window the keyboard focus, then types the keys one by one, as a person would."""
    xdotool("windowfocus", "--sync", window)
    time.sleep(0.2)
    for name in names:
        xdotool("key", name)
        time.sleep(0.15)


def dismiss_box(window):
    """Presses Return in the message box; it has only the OK button."""
    xdotool("windowfocus", "--sync", window)
    code, _ = xdotool("key", "--window", window, "Return")
    time.sleep(0.2)
    if find_windows(BOX_TITLE):
        xdotool("windowfocus", window)
        xdotool("key", "Return")
    return code == 0
