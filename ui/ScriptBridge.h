#pragma once
// Native to page: calls of page functions by name with text arguments. Calls are collected
// while the window thread handles one wake-up of its queue and go to the page together, as
// one script, each still its own guarded call, in order: one script per call cannot keep up
// with a transfer that reports every 4 KiB block. One script is on its way to the page at a
// time; what comes meanwhile joins the next, so a page that runs behind gets fewer, larger
// scripts instead of a queue of them. Calls made while no page is ready are held and reach
// the page, in order, once it is.

#include <webkit2/webkit2.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ui/ScriptCall.h"

class CScriptBridge {
  public:
    // A script carries at most about this much (about 20,000 progress calls); more waits for
    // the next.
    static constexpr std::size_t kMaxBatchBytes = 256 * 1024;
    // Calls waiting for a page that does not come (its process keeps failing) or does not
    // take them stop here: later ones are dropped until the page has taken what waits.
    static constexpr std::size_t kMaxHeldBytes = 64 * 1024 * 1024;

    // Calls wait until a view is given and its page is ready.
    CScriptBridge();
    void SetView(WebKitWebView* view) { m_view = view; }
    ~CScriptBridge();
    CScriptBridge(const CScriptBridge&) = delete;
    CScriptBridge& operator=(const CScriptBridge&) = delete;

    // A page's scripts have run (true: what was held goes to it), or the page is gone (false:
    // calls are held until the next one is ready).
    void SetPageReady(bool ready);
    bool IsPageReady() const { return m_ready; }

    // Calls the page function name(args...). Nothing for an empty name or one that is not an
    // identifier; a missing function or one that throws is passed over silently in the page.
    void InvokeScript(const std::string& name, const std::vector<std::string>& args);
    // Sends what has been collected now instead of at the end of the wake-up (nothing while
    // no page is ready or a script is still on its way).
    void Flush();

    // Whether every call made so far has run in the page.
    bool IsIdle() const { return m_batches.empty() && !m_inFlight; }
    bool HasPendingCalls() const { return !m_batches.empty(); }
    std::size_t CallsSent() const { return m_callsSent; }
    std::size_t BatchesSent() const { return m_batchesSent; }
    std::size_t CallsDropped() const { return m_callsDropped; }

  private:
    static gboolean OnFlushSource(gpointer self);
    static void OnEvaluated(GObject* view, GAsyncResult* result, gpointer token);
    void ScheduleFlush();
    void CancelFlushSource();
    void SendNext();

    WebKitWebView* m_view = nullptr;
    bool m_ready = false;
    // Oldest first; only the last one still grows.
    std::deque<CScriptBatch> m_batches;
    std::size_t m_heldBytes = 0;
    std::size_t m_callsSent = 0;
    std::size_t m_batchesSent = 0;
    std::size_t m_callsDropped = 0;
    guint m_flushSource = 0;
    // The script on its way, by the page it went to; an answer about an older page, or one
    // that comes after this object is gone, changes nothing.
    bool m_inFlight = false;
    unsigned m_page = 0;
    std::shared_ptr<CScriptBridge*> m_self;
};
