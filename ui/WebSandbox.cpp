#include "ui/WebSandbox.h"

#include <glib.h>

namespace {

// The programs WebKit runs: Debian's build names them by these paths.
constexpr char kBubblewrap[] = "/usr/bin/bwrap";
constexpr char kDbusProxy[] = "/usr/bin/xdg-dbus-proxy";

bool IsSet(const char* name) {
    const char* value = g_getenv(name);
    return value && !g_str_equal(value, "0");
}

// The first line of what the trial said on its standard error.
std::string FirstLine(const char* text) {
    std::string line = text ? text : "";
    line = line.substr(0, line.find('\n'));
    return line.empty() ? "no reason given" : line;
}

}  // namespace

CWebSandboxChoice::CWebSandboxChoice() {
    m_choice.endFirstProcess = IsSet("DOWNLOADER_TEST_END_SANDBOXED_PAGE");
    if (IsSet("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS")) {
        m_choice.whyOff = "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS is set";
        return;
    }
    if (!g_file_test(kDbusProxy, G_FILE_TEST_IS_EXECUTABLE)) {
        m_choice.whyOff = std::string(kDbusProxy) + " is missing";
        return;
    }
    // The namespaces WebKit makes for a web process, around a program that does nothing.
    const char* const argv[] = {kBubblewrap,
                                "--unshare-pid",
                                "--unshare-uts",
                                "--unshare-net",
                                "--unshare-ipc",
                                "--die-with-parent",
                                "--ro-bind",
                                "/",
                                "/",
                                "--proc",
                                "/proc",
                                "--dev",
                                "/dev",
                                "true",
                                nullptr};
    GError* error = nullptr;
    m_trial.reset(g_subprocess_newv(
        argv, GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
        &error));
    GErrorPtr failed(error);
    if (!m_trial) m_choice.whyOff = std::string(kBubblewrap) + " cannot run: " + error->message;
}

WebSandbox CWebSandboxChoice::Result() {
    if (!m_trial) return m_choice;
    GObjectPtr<GSubprocess> trial = std::move(m_trial);
    char* said = nullptr;
    GError* error = nullptr;
    const bool waited =
        g_subprocess_communicate_utf8(trial.get(), nullptr, nullptr, nullptr, &said, &error);
    GCharPtr saidOwner(said);
    GErrorPtr errorOwner(error);
    if (!waited) {
        m_choice.whyOff = std::string("the trial of bubblewrap failed: ") + error->message;
    } else if (!g_subprocess_get_successful(trial.get())) {
        m_choice.whyOff = "bubblewrap cannot make the namespaces: " + FirstLine(said);
    } else {
        m_choice.enabled = true;
    }
    return m_choice;
}
