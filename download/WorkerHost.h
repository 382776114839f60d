#pragma once
// What a download worker needs of its window: the queue its events go to, a modal message box,
// and the network-presence answer. The download window provides it; tests provide a recording
// one with a scripted network answer.

#include <cstdint>
#include <functional>
#include <string>

#include "download/WorkerEvents.h"
#include "net/ProxyCredentials.h"

// Message box style of the network failure: OK button, exclamation icon, brought forward.
constexpr unsigned MB_OK_ICONEXCLAMATION_SETFOREGROUND = 0x00010030;

class CWorkerHost {
  public:
    virtual ~CWorkerHost() = default;

    virtual WindowHandle GetSafeHwnd() const = 0;
    // Shows a modal box owned by the window; returns once the user has dismissed it.
    virtual void MessageBox(const std::string& text, const std::string& caption,
                            unsigned style) = 0;
    virtual bool IsNetworkAlive() = 0;
    // How many times the network monitor has reported a change of the network since the
    // window opened; a worker waiting to try again stops waiting when it moves.
    virtual unsigned NetworkChangeCount() { return 0; }
    // Whether the connection is charged by the byte.
    virtual bool IsNetworkMetered() { return false; }
    // Whether the network asks to sign in first; it only picks the words of a failure.
    virtual bool IsBehindPortal() { return false; }
    // A modal box with OK and Cancel; true for OK. Closing the window answers Cancel.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;
    // A modal question for the login of the proxy named proxyName; true with what was entered
    // in login. Closing the window answers as Cancel does. Without a window to ask, false.
    virtual bool AskProxyLogin(const std::string& /*proxyName*/, CProxyCredentials& /*login*/) {
        return false;
    }

    // Runs on the worker: true when online; otherwise shows the failure box, sends the
    // failure text to the window and returns false.
    bool CheckNetwork();
    // Runs on the worker before a transfer: on a metered network with more than 10 MB to
    // fetch (remaining() tells, asked only then), asks the user once per window; true to go
    // ahead. After one answer, later runs (Retry) go ahead without asking.
    bool ConfirmMeteredDownload(const std::function<std::uint64_t()>& remaining);
    // Whether the user agreed to a download charged by the byte (in this run or an earlier).
    bool MeteredDownloadAgreed() const { return m_meteredAgreed; }

  private:
    bool m_meteredAsked = false;
    bool m_meteredAgreed = false;
};
