"""The window handled as a person handles it: presses held as long as a finger holds them, the
window dragged by its title strip, the keyboard alone, and a second start from the menu.

Every run is offline (a network namespace with only loopback): the message box comes first,
then the failure view stays up with all three buttons, whatever the machine's network."""

import contextlib
import time
import unittest

import program
from e2e_case import E2ETestCase, host_is_online
from peers import wait_until

DETAILS_PAGE = "/dunasotool/index.php?act=pc"


class HandlingCase(E2ETestCase):
    @contextlib.contextmanager
    def failure_view(self, box_key="Return"):
        """A run whose message box was read and dismissed with box_key, as (run, window). It is
        killed on leaving: a run left behind would refuse the next start."""
        run = self.start_program(wrapper=("unshare", "-rn"))
        try:
            box = run.wait_window(program.BOX_TITLE)
            self.assertTrue(box, "no message box:\n" + run.text_output())
            time.sleep(0.5)
            program.keys(box[0], box_key)
            self.assertTrue(wait_until(lambda: not run.windows(program.BOX_TITLE), 10),
                            f"{box_key} left the box up")
            windows = run.windows(program.WINDOW_TITLE)
            self.assertEqual(len(windows), 1)
            yield run, windows[0]
        finally:
            run.kill()

    def assert_ends(self, run, what):
        self.assertEqual(run.wait(10), 0, f"{what} did not end the program")

    def assert_retried(self, run, what):
        self.assertTrue(run.wait_window(program.BOX_TITLE, 10),
                        f"{what} did not check the network again")
        self.assertTrue(run.alive())


class HeldPresses(HandlingCase):
    def test_held_press_presses_the_button(self):
        cases = [
            ("×", program.CLOSE_BUTTON, 0.15, self.assert_ends),
            ("×", program.CLOSE_BUTTON, 0.3, self.assert_ends),
            ("Cancel", program.CANCEL_BUTTON, 0.2, self.assert_ends),
            ("Retry", program.RETRY_BUTTON, 0.25, self.assert_retried),
        ]
        for name, where, hold, outcome in cases:
            with self.subTest(button=name, hold=hold), self.failure_view() as (run, window):
                self.assertTrue(program.press(window, *where, hold))
                outcome(run, f"a {hold} s press on {name}")

    def test_title_strip_drags_only_past_the_threshold(self):
        cases = [
            ("held still", [(0, 0)] * 6, False),
            ("within the threshold", [(2, 1), (4, 3), (6, 5), (7, 7)], False),
            ("in steps", [(10 * i, 6 * i) for i in range(1, 9)], True),
        ]
        for name, offsets, moves in cases:
            with self.subTest(drag=name), self.failure_view() as (run, window):
                before = program.position(window)
                self.assertTrue(program.press(window, *program.TITLE_STRIP, 0.1, offsets))
                time.sleep(0.3)
                after = program.position(window)
                dx, dy = offsets[-1] if moves else (0, 0)
                # The pressed point stays under the pointer.
                self.assertEqual(after, (before[0] + dx, before[1] + dy))
                # The page saw the press end: its buttons still take a click.
                self.assertTrue(program.press(window, *program.CLOSE_BUTTON, 0.2))
                self.assert_ends(run, f"× after a drag {name}")


class Keyboard(HandlingCase):
    def test_keys_reach_and_press_every_button(self):
        # The failure view's Tab order: ×, Cancel, Retry. The box takes Return, Space (on its
        # focused OK) and Esc.
        cases = [
            ("Return", ["Escape"], self.assert_ends),
            ("space", ["Tab", "Return"], self.assert_ends),
            ("Escape", ["Tab", "space"], self.assert_ends),
            ("Return", ["Tab", "Tab", "Return"], self.assert_ends),
            ("Return", ["Tab", "Tab", "space"], self.assert_ends),
            ("Return", ["Tab", "Tab", "Tab", "Return"], self.assert_retried),
            ("Return", ["Tab", "Tab", "Tab", "space"], self.assert_retried),
        ]
        for box_key, keys, outcome in cases:
            with self.subTest(box=box_key, keys=keys), self.failure_view(box_key) as (run, window):
                program.keys(window, *keys)
                outcome(run, " ".join(keys))

    @unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
    def test_details_link_is_reached_and_followed_while_downloading(self):
        demo = self.start_demo(rate=0.25)
        run = self.start_program()
        (window,) = run.wait_window()
        self.assertTrue(demo.wait_page_ready(), "the page did not come up")
        # The link is the second stop (after the ×); it stays focused once followed.
        for keys in (["Tab", "Tab", "Return"], ["space"]):
            with self.subTest(keys=keys):
                before = len(self.sandbox.opened())
                program.keys(window, *keys)
                self.assertTrue(wait_until(lambda: len(self.sandbox.opened()) > before, 10),
                                f"{' '.join(keys)} opened nothing")
                self.assertTrue(self.sandbox.opened()[-1][0].endswith(DETAILS_PAGE))
        self.assertTrue(run.alive())
        program.keys(window, "Escape")
        self.assert_ends(run, "Esc while downloading")


class SecondStart(HandlingCase):
    def test_second_start_brings_the_window_back_and_ends(self):
        with self.failure_view() as (first, window):
            # Without a window manager an iconified window is an unmapped one.
            program.xdotool("windowunmap", "--sync", window)
            self.assertEqual(first.windows(program.WINDOW_TITLE), [])

            started = time.monotonic()
            second = self.start_program()
            self.assertEqual(second.wait(10), 0, "the second start did not end by itself")
            self.assertLess(time.monotonic() - started, 5)
            self.assertEqual(second.text_output(), "")
            self.assertTrue(wait_until(lambda: first.windows(program.WINDOW_TITLE), 5),
                            "the first window stayed hidden")
            self.assertEqual(len(program.find_windows(program.WINDOW_TITLE)), 1)

if __name__ == "__main__":
    unittest.main()
