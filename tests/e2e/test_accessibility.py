"""What a screen reader finds: the window read through the desktop's accessibility bus
(AT-SPI), as the tree WebKit builds for the page and GTK for the boxes. Run under
dbus-run-session with Debian's python3, which has pyatspi."""

import unittest
import warnings

import pyatspi

import program
from e2e_case import E2ETestCase, host_is_online
from peers import wait_until

# pyatspi's own calls of older Atspi names, not ours.
warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")

OFFLINE_TEXT = "网络连接失败！请检查您的网络配置后重试！"
ABOUT_TITLE = "关于 Downloader"


def walk(node):
    """node and everything under it; parts that vanish while being read are passed over."""
    try:
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # noqa: BLE001 - the tree changes under the reader
        return
    yield node
    for child in children:
        if child is not None:
            yield from walk(child)


def described(node):
    """(role, name) of node, or None when it is gone."""
    try:
        return node.getRoleName(), node.name
    except Exception:  # noqa: BLE001
        return None


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


class Accessibility(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.sandbox.accessible = True

    def application(self, run):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == run.pid:
                return app
        return None

    def wait_for(self, run, roles, name, timeout=20):
        """The first node of run's tree with one of roles (one or a tuple) and that name (None:
        any), once WebKit or GTK has built it; fails the test when none comes."""
        roles = (roles,) if isinstance(roles, str) else roles

        def find():
            app = self.application(run)
            for node in walk(app) if app else ():
                seen = described(node)
                if seen and seen[0] in roles and name in (None, seen[1]):
                    return node
            return None

        node = wait_until(find, timeout, 0.2)
        self.assertIsNotNone(node, f"no {' or '.join(roles)} named {name!r}")
        return node

    def assert_focused_button(self, run, title, role, name=None):
        """The box titled title has the keyboard focus on a button as soon as it has the
        focus itself (a window manager gives it that; here the test does)."""
        window = self.wait_for(run, role, name)
        (box,) = run.wait_window(title)
        program.xdotool("windowfocus", "--sync", box)
        buttons = [n for n in walk(window) if described(n) and described(n)[0] == "push button"]
        self.assertTrue(wait_until(lambda: any(
            b.getState().contains(pyatspi.STATE_FOCUSED) for b in buttons), 5),
            f"no focused button in the {role}: {[described(b) for b in buttons]}")

    def test_failure_view_buttons_text_and_boxes(self):
        run = self.start_program(wrapper=("unshare", "-rn"))
        self.assert_focused_button(run, program.BOX_TITLE, "alert")
        program.keys(run.wait_window(program.BOX_TITLE)[0], "Return")

        for name in ("关闭", "取消", "重试"):
            self.wait_for(run, "push button", name)
        alert = self.wait_for(run, ("notification", "alert"), "")
        self.assertTrue(wait_until(lambda: text_of(alert) == OFFLINE_TEXT, 5), text_of(alert))
        bar = self.wait_for(run, "progress bar", "下载进度")
        value = bar.queryValue()
        self.assertEqual((value.minimumValue, value.maximumValue), (0, 100))

        (window,) = run.wait_window()
        program.keys(window, "Menu", "Up", "Return")
        self.assert_focused_button(run, ABOUT_TITLE, "dialog", ABOUT_TITLE)
        program.keys(run.wait_window(ABOUT_TITLE)[0], "Escape")
        self.assertTrue(wait_until(lambda: not run.windows(ABOUT_TITLE), 5), "Esc left it up")
        self.assertTrue(run.alive())

    @unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
    def test_downloading_view_link_and_progress_value(self):
        self.start_demo(rate=0.25)
        run = self.start_program()
        self.wait_for(run, "link", "(查看版本详情)")
        value = self.wait_for(run, "progress bar", "下载进度").queryValue()
        self.assertTrue(wait_until(lambda: value.currentValue >= 5, 20),
                        f"the bar stays at {value.currentValue}")
        seen = value.currentValue
        self.assertTrue(wait_until(lambda: value.currentValue >= seen + 5, 10),
                        f"the value stays at {value.currentValue}")

if __name__ == "__main__":
    unittest.main()
