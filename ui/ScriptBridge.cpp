#include "ui/ScriptBridge.h"

#include "ui/ScriptCall.h"

CScriptBridge::~CScriptBridge() {
    CancelFlushSource();
}

void CScriptBridge::SetPageReady(bool ready) {
    m_ready = ready;
    if (ready) return;
    m_batch.clear();
    m_batchCalls = 0;
    CancelFlushSource();
}

void CScriptBridge::InvokeScript(const std::string& name, const std::vector<std::string>& args) {
    if (name.empty() || !m_ready) return;
    const std::string call = ScriptCallText(name, args);
    if (call.empty()) return;
    m_batch += call;
    ++m_batchCalls;
    // A wake-up that finds a long backlog (a fast local transfer) sends it in slices, so
    // that neither side ever holds one enormous script.
    if (m_batch.size() >= kMaxBatchBytes) {
        Flush();
        return;
    }
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
    if (m_batch.empty()) return;
    // The trailing void keeps the engine from sending the last call's value back.
    m_batch += "void 0;";
    webkit_web_view_evaluate_javascript(m_view, m_batch.data(), static_cast<gssize>(m_batch.size()),
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    m_callsSent += m_batchCalls;
    ++m_batchesSent;
    m_batch.clear();
    m_batchCalls = 0;
}

void CScriptBridge::CancelFlushSource() {
    if (!m_flushSource) return;
    g_source_remove(m_flushSource);
    m_flushSource = 0;
}
