"""What a screen reader finds: the window read through the desktop's accessibility bus
(AT-SPI), as the tree WebKit builds for the page and GTK for the boxes. Run under
dbus-run-session with Debian's python3, which has pyatspi."""

import unittest
import warnings

import pyatspi

import program
from e2e_case import E2ETestCase, host_is_online
from peers import wait_until

ABOUT_TITLE = "关于 Downloader"
OFFLINE_TEXT = "网络连接失败！请检查您的网络配置后重试！"


def nodes(node):
    """(role, name, node) for node and everything under it; parts that vanish while being read
    are passed over."""
    try:
        found = [(node.getRoleName(), node.name, node)]
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # noqa: BLE001 - the tree changes under the reader
        return []
    for child in filter(None, children):
        found += nodes(child)
    return found


class Accessibility(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.sandbox.accessible = True
        # pyatspi's own calls of older Atspi names, not ours (set here: the runner resets them).
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")

    def wait_for(self, run, roles, name=None, timeout=20):
        """The first node of run's tree with one of roles and that name (None: any), once WebKit
        or GTK has built it."""

        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
            for app in filter(lambda a: a and a.get_process_id() == run.pid, apps):
                for role, seen, node in nodes(app):
                    if role in roles.split("|") and name in (None, seen):
                        return node
            return None

        node = wait_until(find, timeout, 0.2)
        self.assertIsNotNone(node, f"no {roles} named {name!r}")
        return node

    def assert_focus_on_a_button(self, run, title, roles, name=None):
        """Once the box titled title has the focus (a window manager gives it that; here the
        test does), one of its buttons has it."""
        box = self.wait_for(run, roles, name)
        program.xdotool("windowfocus", "--sync", run.wait_window(title)[0])
        self.assertTrue(wait_until(lambda: any(
            role == "push button" and node.getState().contains(pyatspi.STATE_FOCUSED)
            for role, _, node in nodes(box)), 5), f"no button of {title} has the focus")

    def test_failure_view_buttons_text_and_boxes(self):
        run = self.start_program(wrapper=("unshare", "-rn"))
        self.assert_focus_on_a_button(run, program.BOX_TITLE, "alert")
        program.keys(run.wait_window(program.BOX_TITLE)[0], "Return")

        for name in ("关闭", "取消", "重试"):
            self.wait_for(run, "push button", name)
        text = self.wait_for(run, "notification|alert", "").queryText()
        self.assertTrue(wait_until(lambda: text.getText(0, -1) == OFFLINE_TEXT, 5),
                        text.getText(0, -1))
        value = self.wait_for(run, "progress bar", "下载进度").queryValue()
        self.assertEqual((value.minimumValue, value.maximumValue), (0, 100))

        program.keys(run.wait_window()[0], "Menu", "Up", "Return")
        self.assert_focus_on_a_button(run, ABOUT_TITLE, "dialog", ABOUT_TITLE)
        program.keys(run.wait_window(ABOUT_TITLE)[0], "Escape")
        self.assertTrue(wait_until(lambda: not run.windows(ABOUT_TITLE), 5), "Esc left it up")
        self.assertTrue(run.alive())

    @unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
    def test_downloading_view_link_and_progress_value(self):
        self.start_demo(rate=0.25)
        run = self.start_program()
        self.wait_for(run, "link", "(查看版本详情)")
        value = self.wait_for(run, "progress bar", "下载进度").queryValue()
        self.assertTrue(wait_until(lambda: value.currentValue >= 5, 20), "the bar stays at 0")
        seen = value.currentValue
        self.assertTrue(wait_until(lambda: value.currentValue >= seen + 5, 10),
                        f"the value stays at {value.currentValue}")


if __name__ == "__main__":
    unittest.main()
