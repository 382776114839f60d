#pragma once
// A window handle for tests: a message queue on a GLib main context of its own, whose posted
// and sent messages are recorded in order. Pump() handles everything queued so far on the
// calling thread.

#include <glib.h>

#include <mutex>
#include <vector>

#include "platform/MessageQueue.h"

struct RecordedEvent {
    unsigned msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool operator==(const RecordedEvent&) const = default;
};

class EventRecorder {
  public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    const WindowHandle& Handle() const { return m_queue; }
    // Handles the queued messages, then returns every event recorded so far.
    std::vector<RecordedEvent> Pump();
    // The recorded events of one kind (after pumping).
    std::vector<RecordedEvent> Of(unsigned msg);

  private:
    GMainContext* m_context;
    WindowHandle m_queue;
    std::mutex m_mutex;
    std::vector<RecordedEvent> m_events;
};
