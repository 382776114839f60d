#pragma once
// Whether the page's web process runs in WebKit's sandbox: bubblewrap gives it namespaces of
// its own (no network, no other process, a root of read-only system folders with the fonts,
// the display, and D-Bus and the accessibility bus through xdg-dbus-proxy) and a seccomp filter.
// A web context takes the choice before its first web process and cannot change it later, and
// a sandbox that cannot start leaves a dead process and a blank view. So it is chosen before:
// off when WebKit's own switch WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS is set (as WebKit reads
// it: anything but "0"), and off when bubblewrap cannot make the namespaces WebKit asks for (a
// kernel or a policy that forbids unprivileged user namespaces), which is tried once at start.

#include <gio/gio.h>

#include <string>

#include "ui/GObjectPtr.h"

struct WebSandbox {
    bool enabled = false;
    std::string whyOff;  // when not enabled: for the log
    // Tests only (DOWNLOADER_TEST_END_SANDBOXED_PAGE=1): the first sandboxed web process is
    // ended before its page comes up, as a bubblewrap that fails at its start ends it.
    bool endFirstProcess = false;
};

class CWebSandboxChoice {
  public:
    // Reads the environment and, unless that turns the sandbox off, starts the trial run of
    // bubblewrap; returns at once.
    CWebSandboxChoice();
    CWebSandboxChoice(const CWebSandboxChoice&) = delete;
    CWebSandboxChoice& operator=(const CWebSandboxChoice&) = delete;

    // Waits for the trial (the first call only).
    WebSandbox Result();

  private:
    WebSandbox m_choice;
    GObjectPtr<GSubprocess> m_trial;
};
