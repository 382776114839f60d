#pragma once
// Native to page: calls of page functions by name with text arguments. Calls are collected
// while the window thread handles one wake-up of its queue and go to the page together, as
// one script, each still its own guarded call, in order: one script per call cannot keep up
// with a transfer that reports every 4 KiB block. Calls made while no page is ready are lost.

#include <webkit2/webkit2.h>

#include <cstddef>
#include <string>
#include <vector>

class CScriptBridge {
  public:
    // A batch is sent early once it reaches this size (about 2,000 progress calls).
    static constexpr std::size_t kMaxBatchBytes = 256 * 1024;

    explicit CScriptBridge(WebKitWebView* view) : m_view(view) {}
    ~CScriptBridge();
    CScriptBridge(const CScriptBridge&) = delete;
    CScriptBridge& operator=(const CScriptBridge&) = delete;

    // A page's scripts have run (true) or the page is gone (false: calls are lost
    // until it is ready, and what was collected for the old page is dropped).
    void SetPageReady(bool ready);
    bool IsPageReady() const { return m_ready; }

    // Calls the page function name(args...). Nothing for an empty name or before the page is
    // ready; a missing function or one that throws is passed over silently in the page.
    void InvokeScript(const std::string& name, const std::vector<std::string>& args);
    // Sends what has been collected now instead of at the end of the wake-up.
    void Flush();

    bool HasPendingCalls() const { return !m_batch.empty(); }
    std::size_t CallsSent() const { return m_callsSent; }
    std::size_t BatchesSent() const { return m_batchesSent; }

  private:
    static gboolean OnFlushSource(gpointer self);
    void CancelFlushSource();

    WebKitWebView* m_view;
    bool m_ready = false;
    std::string m_batch;
    std::size_t m_batchCalls = 0;
    std::size_t m_callsSent = 0;
    std::size_t m_batchesSent = 0;
    guint m_flushSource = 0;
};
