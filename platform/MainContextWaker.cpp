#include "platform/MainContextWaker.h"

#include <utility>

namespace {
// A source that is dispatched only when armed (ready time 0). Disarmed before the callback
// runs, so a wake-up asked for while the callback runs arms it again.
gboolean DispatchWhenArmed(GSource* source, GSourceFunc callback, gpointer data) {
    g_source_set_ready_time(source, -1);
    return callback(data);
}

GSourceFuncs g_wakeFuncs = {nullptr, nullptr, DispatchWhenArmed, nullptr, nullptr, nullptr};

gboolean RunOnWake(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_CONTINUE;
}
}  // namespace

CMainContextWaker::CMainContextWaker(GMainContext* context, std::function<void()> onWake)
    : m_context(g_main_context_ref(context ? context : g_main_context_default())),
      m_source(g_source_new(&g_wakeFuncs, sizeof(GSource))) {
    g_source_set_priority(m_source, G_PRIORITY_DEFAULT);
    g_source_set_ready_time(m_source, -1);
    // A callback's nested loop (a modal box) must go on being woken.
    g_source_set_can_recurse(m_source, TRUE);
    // The callback belongs to the source, so that one being dispatched outlives this object.
    g_source_set_callback(m_source, RunOnWake, new std::function<void()>(std::move(onWake)),
                          [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    g_source_attach(m_source, m_context);
}

CMainContextWaker::~CMainContextWaker() {
    g_source_destroy(m_source);
    g_source_unref(m_source);
    g_main_context_unref(m_context);
}

void CMainContextWaker::Wake() {
    g_source_set_ready_time(m_source, 0);  // thread-safe; wakes the context's thread
}

bool CMainContextWaker::OnContextThread() const {
    return g_main_context_is_owner(m_context);
}
