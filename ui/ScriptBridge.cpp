#include "ui/ScriptBridge.h"

#include "base/DebugTrace.h"
#include "ui/ScriptCall.h"

CScriptBridge::~CScriptBridge() {
    CancelFlushSource();
}

void CScriptBridge::SetPageReady(bool ready) {
    m_ready = ready;
    if (ready)
        Flush();
    else
        CancelFlushSource();
}

void CScriptBridge::InvokeScript(const std::string& name, const std::vector<std::string>& args) {
    if (!m_ready && m_heldBytes >= kMaxHeldBytes) {
        if (m_callsDropped++ == 0) TRACE("no page for the held calls: later calls are dropped\n");
        return;
    }
    // A long backlog (a fast local transfer, or the calls held for a page still loading) goes
    // in slices, so that neither side ever holds one enormous script.
    if (m_batches.empty() || m_batches.back().Bytes() >= kMaxBatchBytes) m_batches.emplace_back();
    CScriptBatch& batch = m_batches.back();
    const std::size_t before = batch.Bytes();
    if (!batch.Add(name, args)) return;
    m_heldBytes += batch.Bytes() - before;
    if (!m_ready) return;
    if (batch.Bytes() >= kMaxBatchBytes)
        Flush();
    else
        ScheduleFlush();
}

void CScriptBridge::ScheduleFlush() {
    if (m_flushSource) return;
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
    if (!m_ready) return;
    for (; !m_batches.empty(); m_batches.pop_front()) {
        const CScriptBatch& batch = m_batches.front();
        if (batch.Calls() == 0) continue;
        const std::string script = batch.Script();
        webkit_web_view_evaluate_javascript(m_view, script.data(),
                                            static_cast<gssize>(script.size()), nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        m_callsSent += batch.Calls();
        ++m_batchesSent;
    }
    m_heldBytes = 0;
}

void CScriptBridge::CancelFlushSource() {
    if (!m_flushSource) return;
    g_source_remove(m_flushSource);
    m_flushSource = 0;
}
