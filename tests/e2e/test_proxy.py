"""The desktop's proxy, as a person behind one meets it: GNOME's settings (GSettings' keyfile
backend, manual or automatic with a PAC file), the environment's variable winning over them,
squid asking for a login or refusing the tunnel. Run under dbus-run-session (the PAC runner and
the accessibility bus are on the session bus) with Debian's python3, which has pyatspi."""

import socket
import time
import unittest
import warnings

import pyatspi

import program
from e2e_case import VERSION, E2ETestCase, host_is_online
from peers import PORT, Nginx, Squid, wait_until
from test_accessibility import nodes

LOGIN = ("user", "s3cret")
PROXY_TEXT = "代理服务器拒绝了连接，请检查代理设置和账号密码后重试！"


# org.gnome.system.proxy as the Settings write it ({port}: squid's, {pac}: the PAC file's
# address); ignore-hosts empty, since its default leaves out 127.0.0.0/8, where the servers are.
DESKTOP = "[system/proxy]\nmode='{mode}'\nignore-hosts=@as []\nautoconfig-url='{pac}'\n" \
          "[system/proxy/http]\nhost='127.0.0.1'\nport={port}\n"
LOGIN_SETTINGS = f"use-authentication=true\nauthentication-user='{LOGIN[0]}'\n" \
                 f"authentication-password='{LOGIN[1]}'\n"
# One entry a case: squid's options, the desktop's mode (and more settings), the environment,
# what the person types into the login question ("Escape" declines), the page's text in the end
# (None: the installer is started) and what the log must say.
CASES = {
    "manual": dict(mode="manual"),
    # Basic, named once, goes with every later request from its start: one 407 in all.
    "login_in_the_settings": dict(squid={"login": LOGIN}, mode="manual", more=LOGIN_SETTINGS,
                                  challenges=1),
    "environment_wins": dict(mode="manual", port=9, env="http_proxy"),
    "pac_file": dict(mode="auto"),
    "pac_file_never_comes": dict(mode="auto", pac_hangs=True,
                                 log="no answer within 5.0 s, direct"),
    "login_entered": dict(squid={"login": LOGIN}, mode="manual", typed=LOGIN),
    "login_declined": dict(squid={"login": LOGIN}, mode="manual", typed="Escape", seen=PROXY_TEXT),
    "login_refused": dict(squid={"login": LOGIN}, mode="manual", typed=("user", "wrong"),
                          seen=PROXY_TEXT, log="(the proxy refused its credentials)"),
    "tunnel_refused": dict(squid={"refuse_tunnels": True}, mode="manual", seen=PROXY_TEXT,
                           url="https://127.0.0.1:18443/download/myvelmora_setup.exe",
                           log="answered 403 (the proxy refused the tunnel)"),
}


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class DesktopProxy(E2ETestCase):
    def page_text(self, run):
        """The failure view's text as a screen reader reads it ('' while it is not shown)."""
        desktop = pyatspi.Registry.getDesktop(0)
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            for role, name, node in nodes(app) if app and app.get_process_id() == run.pid else []:
                if role in ("notification", "alert") and name == "":
                    return node.queryText().getText(0, -1)
        return ""

    def answer_login(self, run, typed):
        box = run.wait_window("代理服务器需要登录", 30)
        self.assertTrue(box, "no login question:\n" + run.text_output())
        program.keys(box[0], *(["Escape"] if typed == "Escape" else []))
        for text, then in zip(typed, ("Tab", "Return")) if typed != "Escape" else ():
            program.xdotool("type", "--delay", "50", text)
            program.xdotool("key", then)

    def start(self, case):
        squid = Squid(**case.get("squid", {}))
        self.addCleanup(squid.stop)
        nginx = Nginx(self.sandbox.root, self.installer, self.installer_sha, VERSION,
                      url=case.get("url"))
        self.addCleanup(nginx.stop)
        nginx.serve("proxy.pac",
                    f'function FindProxyForURL(u, h) {{ return "PROXY {squid.address}"; }}')
        pac = f"http://127.0.0.1:{PORT}/proxy.pac"
        if case.get("pac_hangs"):  # takes the connection and never answers
            silent = socket.create_server(("127.0.0.1", 0))
            self.addCleanup(silent.close)
            pac = f"http://127.0.0.1:{silent.getsockname()[1]}/proxy.pac"
        self.sandbox.desktop_settings(DESKTOP.format(mode=case["mode"], pac=pac,
                                                     port=case.get("port", squid.port))
                                      + case.get("more", ""))
        if case.get("env"):
            self.sandbox.extra_env[case["env"]] = f"http://{squid.address}"
        self.sandbox.accessible = True
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        return squid, self.start_program()

    def check(self, case):
        squid, run = self.start(case)
        started = time.monotonic()
        if case.get("typed"):
            self.answer_login(run, case["typed"])
        if case.get("seen"):
            self.assertTrue(wait_until(lambda: self.page_text(run) == case["seen"], 30),
                            f"the page says {self.page_text(run)!r}\n{run.text_output()}")
            self.assertLess(time.monotonic() - started, 20, "not shown at once")
            self.assert_nothing_started()
        else:
            self.wait_exit(run)
            self.assert_installed()
        log = self.sandbox.log_text()
        self.assertNotIn(LOGIN[1], log)
        self.assertIn(case.get("log", ""), log)
        seen = squid.requests()
        paths = [r[1] for r in seen]
        if case.get("pac_hangs"):
            self.assertEqual(seen, [], "went direct")
        elif case.get("url"):
            self.assertEqual([r[:3] for r in seen if r[0] == "CONNECT"],
                             [["CONNECT", "127.0.0.1:18443", "403"]], seen)
        else:
            self.assertTrue(any("/tools/updateinfo.php" in p for p in paths), seen)
            self.assertEqual(case.get("seen") is None,
                             any(p.endswith("/myvelmora_setup.exe") for p in paths), seen)
        if "challenges" in case:
            self.assertEqual([r[2] for r in seen].count("407"), case["challenges"], seen)


for case_name, entry in CASES.items():
    setattr(DesktopProxy, f"test_{case_name}", lambda self, c=entry: self.check(c))


if __name__ == "__main__":
    unittest.main()
