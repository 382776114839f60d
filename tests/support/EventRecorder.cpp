#include "tests/support/EventRecorder.h"

#include <variant>

RecordedEvent Numbered(const WorkerEvent& event) {
    struct Numbering {
        RecordedEvent operator()(const UpdateSpeed& e) const {
            return {WM_UPDATE_SPEED, 0, e.kibPerSecond, {}};
        }
        RecordedEvent operator()(const UpdateFileSize& e) const {
            return {WM_UPDATE_FILESIZE, 0, static_cast<std::int64_t>(e.totalBytes), {}};
        }
        RecordedEvent operator()(const UpdateProgress& e) const {
            return {WM_UPDATE_PROGRESS, e.bytesDone, e.percent, {}};
        }
        RecordedEvent operator()(const ShowDetail& e) const {
            return {WM_SHOW_MESSAGE, SHOW_DETAIL, e.cbData, e.text};
        }
        RecordedEvent operator()(const ShowDownFail& e) const {
            return {WM_SHOW_MESSAGE, SHOW_DOWNFAIL, 0, e.text};
        }
        RecordedEvent operator()(const ShowRetry& e) const { return {WM_SHOW_RETRY, 0, 0, e.text}; }
    };
    return std::visit(Numbering{}, event);
}

EventRecorder::EventRecorder()
    : m_context(g_main_context_new()),
      m_queue(CWorkerEventQueue::Create(m_context,
                                        [this](const WorkerEvent& event) {
                                            std::lock_guard lock(m_mutex);
                                            m_events.push_back(Numbered(event));
                                            return LRESULT{0};
                                        })),
      m_sink(m_queue) {}

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
