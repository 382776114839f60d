#pragma once
// A window handle for tests: a worker-event queue on a GLib main context of its own, whose
// posted and sent events are recorded in order, each as the numbered message it stands for.
// Pump() handles everything queued so far on the calling thread. Sink() reports a download's
// progress into it as the worker does.

#include <glib.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "download/WindowSink.h"
#include "download/WorkerEvents.h"

struct RecordedEvent {
    RecordedEvent() = default;
    RecordedEvent(unsigned m, std::uint64_t w, std::int64_t l, std::string t = {})
        : msg(m), wParam(w), lParam(l), text(std::move(t)) {}

    unsigned msg = 0;
    std::uint64_t wParam = 0;  // bytes done; SHOW_DETAIL or SHOW_DOWNFAIL
    std::int64_t lParam = 0;   // speed, size, percent, or the detail's cbData
    std::string text;          // the detail or failure text
    bool operator==(const RecordedEvent&) const = default;
};

// The numbered message an event stands for.
RecordedEvent Numbered(const WorkerEvent& event);

class EventRecorder {
  public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    const WindowHandle& Handle() const { return m_queue; }
    CWindowSink& Sink() { return m_sink; }
    // Handles the queued events, then returns every event recorded so far.
    std::vector<RecordedEvent> Pump();
    // The recorded events of one kind (after pumping).
    std::vector<RecordedEvent> Of(unsigned msg);

  private:
    GMainContext* m_context;
    WindowHandle m_queue;
    CWindowSink m_sink;
    std::mutex m_mutex;
    std::vector<RecordedEvent> m_events;
};
