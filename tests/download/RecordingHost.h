#pragma once
// A stand-in for the download window in worker runs: a scripted network-presence answer, a
// message box that is recorded instead of shown, and a message queue whose handler records
// every event on a thread of its own, as the window thread would.

#include <glib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/AppParams.h"
#include "download/WorkerHost.h"

class CRecordingHost : public CWorkerHost {
  public:
    // params: the table whose "AppPath" the window reads.
    explicit CRecordingHost(CAppParams& params, bool online = true);
    ~CRecordingHost() override;
    CRecordingHost(const CRecordingHost&) = delete;
    CRecordingHost& operator=(const CRecordingHost&) = delete;

    WindowHandle GetSafeHwnd() const override { return m_queue; }
    void MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    bool IsNetworkAlive() override { return m_online; }
    unsigned NetworkChangeCount() override { return m_networkChanges.load(); }
    bool IsNetworkMetered() override { return m_metered; }
    bool IsBehindPortal() override { return m_portal; }
    void SetBehindPortal(bool portal) { m_portal = portal; }
    // Recorded as "ask <caption>: <text>"; answered with what SetMetered() says.
    bool AskOkCancel(const std::string& text, const std::string& caption) override;
    // A metered network, and the user's answer to the question it brings.
    void SetMetered(bool metered, bool answer) {
        m_metered = metered;
        m_answer = answer;
    }
    // As the network monitor does when the network comes back.
    void ReportNetworkBack() { ++m_networkChanges; }

    // Runs on the window thread after each event has been recorded (to set the quit flag as
    // the window would, for instance).
    void OnEvent(std::function<void(const std::string& event)> hook);

    // Everything handled so far, once all that was queued before the call has been handled.
    // Events read "box <style> <caption>: <text>", "detail <text>", "downfail <text>",
    // "retry <text>",
    // "size <bytes>", "progress <bytes> <percent>" and "speed <KiB/s>".
    std::vector<std::string> Events();
    // The "AppPath" parameter as the window saw it while handling each event.
    std::vector<std::string> AppPathsSeen();

  private:
    struct ContextUnref {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
    };

    LRESULT Handle(const WorkerEvent& event);
    void Record(std::string event);

    CAppParams& m_params;
    const bool m_online;
    std::unique_ptr<GMainContext, ContextUnref> m_context;
    WindowHandle m_queue;
    std::atomic<bool> m_stopping{false};
    std::atomic<unsigned> m_networkChanges{0};
    bool m_metered = false;
    bool m_portal = false;
    bool m_answer = true;
    std::thread m_pump;

    std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::vector<std::string> m_appPaths;
    std::function<void(const std::string&)> m_hook;
};
