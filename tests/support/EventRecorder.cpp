#include "tests/support/EventRecorder.h"

EventRecorder::EventRecorder() : m_context(g_main_context_new()) {
    m_queue = CMessageQueue::Create(m_context, [this](unsigned msg, WPARAM w, LPARAM l) {
        std::lock_guard lock(m_mutex);
        m_events.push_back({msg, w, l});
        return LRESULT{0};
    });
}

EventRecorder::~EventRecorder() {
    m_queue->Close();
    m_queue.reset();
    g_main_context_unref(m_context);
}

std::vector<RecordedEvent> EventRecorder::Pump() {
    while (g_main_context_iteration(m_context, FALSE)) {
    }
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<RecordedEvent> EventRecorder::Of(unsigned msg) {
    std::vector<RecordedEvent> kind;
    for (const auto& event : Pump())
        if (event.msg == msg) kind.push_back(event);
    return kind;
}
