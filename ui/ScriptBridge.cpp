#include "ui/ScriptBridge.h"

#include "base/DebugTrace.h"

namespace {

// What an evaluation's answer needs to find its bridge, if it is still there.
struct EvaluationToken {
    std::weak_ptr<CScriptBridge*> bridge;
    unsigned page;
};

}  // namespace

CScriptBridge::CScriptBridge() : m_self(std::make_shared<CScriptBridge*>(this)) {}

CScriptBridge::~CScriptBridge() {
    CancelFlushSource();
}

void CScriptBridge::SetPageReady(bool ready) {
    m_ready = ready;
    // A script on its way to the page that is gone is forgotten; its calls went with it.
    ++m_page;
    m_inFlight = false;
    if (ready)
        Flush();
    else
        CancelFlushSource();
}

void CScriptBridge::InvokeScript(const std::string& name, const std::vector<std::string>& args) {
    if (m_heldBytes >= kMaxHeldBytes) {
        if (m_callsDropped++ == 0) TRACE("the page takes no calls: later calls are dropped\n");
        return;
    }
    // A long backlog (a fast local transfer, or the calls held for a page still loading) goes
    // in slices, so that neither side ever holds one enormous script.
    if (m_batches.empty() || m_batches.back().Bytes() >= kMaxBatchBytes) {
        if (!m_batches.empty()) m_batches.back().Close();
        m_batches.emplace_back();
    }
    CScriptBatch& batch = m_batches.back();
    const std::size_t before = batch.Bytes();
    if (!batch.Add(name, args)) return;
    m_heldBytes += batch.Bytes() - before;
    if (m_ready) ScheduleFlush();
}

void CScriptBridge::ScheduleFlush() {
    if (m_flushSource || m_inFlight) return;
    // Same priority as the window's queue: the batch goes out right after the wake-up that
    // filled it, and a busy queue cannot hold it back.
    m_flushSource =
        g_idle_add_full(G_PRIORITY_DEFAULT, &CScriptBridge::OnFlushSource, this, nullptr);
}

gboolean CScriptBridge::OnFlushSource(gpointer self) {
    auto* bridge = static_cast<CScriptBridge*>(self);
    bridge->m_flushSource = 0;
    bridge->Flush();
    return G_SOURCE_REMOVE;
}

void CScriptBridge::Flush() {
    CancelFlushSource();
    if (m_ready && m_view && !m_inFlight) SendNext();
}

void CScriptBridge::SendNext() {
    while (!m_batches.empty() && m_batches.front().Calls() == 0) m_batches.pop_front();
    if (m_batches.empty()) return;
    const CScriptBatch& batch = m_batches.front();
    const std::string script = batch.Script();
    m_inFlight = true;
    webkit_web_view_evaluate_javascript(m_view, script.data(), static_cast<gssize>(script.size()),
                                        nullptr, nullptr, nullptr, &CScriptBridge::OnEvaluated,
                                        new EvaluationToken{m_self, m_page});
    m_callsSent += batch.Calls();
    ++m_batchesSent;
    m_heldBytes -= std::min(m_heldBytes, batch.Bytes());
    m_batches.pop_front();
}

void CScriptBridge::OnEvaluated(GObject* view, GAsyncResult* result, gpointer token) {
    std::unique_ptr<EvaluationToken> answer(static_cast<EvaluationToken*>(token));
    // The result is the runner's undefined, or the error of a page that went away.
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    if (value) g_object_unref(value);
    if (error) g_error_free(error);
    const std::shared_ptr<CScriptBridge*> alive = answer->bridge.lock();
    if (!alive) return;
    CScriptBridge* bridge = *alive;
    if (answer->page != bridge->m_page) return;
    bridge->m_inFlight = false;
    // Whatever came meanwhile goes at once, as one script.
    bridge->Flush();
}

void CScriptBridge::CancelFlushSource() {
    if (!m_flushSource) return;
    g_source_remove(m_flushSource);
    m_flushSource = 0;
}
