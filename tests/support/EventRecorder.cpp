#include "tests/support/EventRecorder.h"

#include <gtest/gtest.h>

void PrintTo(const UpdateSpeed& e, std::ostream* os) {
    *os << "UpdateSpeed{" << e.kibPerSecond << " KiB/s}";
}
void PrintTo(const UpdateFileSize& e, std::ostream* os) {
    *os << "UpdateFileSize{" << e.totalBytes << "}";
}
void PrintTo(const UpdateProgress& e, std::ostream* os) {
    *os << "UpdateProgress{" << e.bytesDone << ", " << e.percent << "%}";
}
void PrintTo(const ShowDetail& e, std::ostream* os) {
    *os << "ShowDetail{" << testing::PrintToString(e.text) << ", cbData " << e.cbData << "}";
}
void PrintTo(const ShowDownFail& e, std::ostream* os) {
    *os << "ShowDownFail{" << testing::PrintToString(e.text) << "}";
}
void PrintTo(const ShowRetry& e, std::ostream* os) {
    *os << "ShowRetry{" << testing::PrintToString(e.text) << "}";
}

EventRecorder::EventRecorder()
    : m_context(g_main_context_new()),
      m_queue(CWorkerEventQueue::Create(m_context,
                                        [this](const WorkerEvent& event) {
                                            std::lock_guard lock(m_mutex);
                                            m_events.push_back(event);
                                            return LRESULT{0};
                                        })),
      m_sink(m_queue) {}

EventRecorder::~EventRecorder() {
    m_queue->Close();
    m_queue.reset();
    g_main_context_unref(m_context);
}

std::vector<WorkerEvent> EventRecorder::Pump() {
    while (g_main_context_iteration(m_context, FALSE)) {
    }
    std::lock_guard lock(m_mutex);
    return m_events;
}
